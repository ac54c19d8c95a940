// The handheld application's three preference lists (modes, types,
// descriptions): the preference block, its parser and builder, and the
// desktop files "mode.txt", "type.txt" and "desc.txt".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/col_enregistrement.h"

namespace bolvarin {

// The working lists; only Texte of each entry is used.
extern std::vector<colEnregistrement> ModeList;
extern std::vector<colEnregistrement> TypeList;
extern std::vector<colEnregistrement> DescList;

inline constexpr size_t kPreferenceHeaderSize = 24;
inline constexpr int kPreferenceNumber = 0;

struct PreferenceFile {
  const char* readName;    // the name in messages; files are matched without regard to case
  const char* createName;  // the name a new file gets
  int maxLines;            // lines read at most
  size_t maxChars;         // characters kept per entry when the file is written
};
inline constexpr PreferenceFile kModeFile{"mode.txt", "Mode.txt", 30, 30};
inline constexpr PreferenceFile kTypeFile{"type.txt", "Type.txt", 62, 30};
inline constexpr PreferenceFile kDescFile{"desc.txt", "Desc.txt", 64, 80};
inline constexpr int kMaxTypeEntries = 63;

// Empties the three lists and fills them from a block (text of one character
// per byte). Raises an error when an entry has no ending 0. With
// yieldPerEntry, lets the host process pending messages after each entry or
// list end.
void ParsePreferenceBlock(std::string_view block, bool yieldPerEntry);

// The three lists of a block, as texts.
struct PreferenceListTexts {
  std::vector<std::string> modes, types, descriptions;
};

// The lists of a block, parsed as ParsePreferenceBlock parses them (and
// refused for the same reasons), without touching the working lists.
PreferenceListTexts ParsePreferenceLists(std::string_view block);

// The header (its first 24 bytes, padded with 0 bytes when it is shorter,
// since the lists are read from byte 24) followed by the three lists, each
// entry and each list ended by a 0; a type list of 63 entries gets no ending
// 0 so the block parses back the same. The final 0 byte is appended too.
// Raises an error naming the list and the entry for an entry that the block
// cannot hold (empty, or holding a 0), and for more than 63 types.
std::string BuildPreferenceBlock(std::string_view header, const std::vector<std::string>& modes,
                                 const std::vector<std::string>& types,
                                 const std::vector<std::string>& descriptions);

// Reads the list file of `folder`: `file.createName` when it exists, else
// the first file whose name matches it without regard to case. Its lines in
// order, empty lines skipped, at most `file.maxLines` entries. Returns false
// when there is no such file. Raises an error naming the file (and the line)
// when it cannot be read or a line holds a 0 byte.
bool ReadPreferenceFile(const std::string& folder, const PreferenceFile& file,
                        std::vector<std::string>& entries);

// What a list file holds: each entry cut to `file.maxChars`, CR LF after each.
std::string PreferenceFileContents(const PreferenceFile& file,
                                   const std::vector<std::string>& entries);

// Replaces the list file of `folder` with `contents`, whole or not at all,
// under the name `file.createName`; the old file, whatever the case of its
// name, goes to the trash unless `permanent`, and no file of another
// spelling is left beside the new one. Raises an error naming the file when
// it fails.
void WritePreferenceFile(const std::string& folder, const PreferenceFile& file,
                         std::string_view contents, bool permanent);

}  // namespace bolvarin
