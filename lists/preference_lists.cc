#include "lists/preference_lists.h"

#include <filesystem>
#include <functional>
#include <system_error>

#include "base/error.h"
#include "base/host_events.h"
#include "base/text.h"
#include "lists/text_lines.h"
#include "os/files.h"

namespace bolvarin {

std::vector<colEnregistrement> ModeList;
std::vector<colEnregistrement> TypeList;
std::vector<colEnregistrement> DescList;

namespace {

constexpr const char* kListNames[] = {"mode", "type", "description"};

void AppendList(std::string& block, const char* listName, const std::vector<std::string>& entries,
                bool endMark) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    // An empty entry would read back as the end of its list, and a 0 inside
    // one would split it in two: either shifts every list after it.
    if (entry.empty() || entry.find('\0') != std::string::npos) {
      Raise(err::kInvalidArgument, std::string("entry ") + std::to_string(i + 1) + " of the " +
                                       listName + " list " +
                                       (entry.empty() ? "is empty" : "holds a 0 byte") +
                                       ", which the handheld's preference block cannot store");
    }
    block += entry;
    block += '\0';
  }
  if (endMark) block += '\0';
}

// The regular files of `folder` whose names match the list file's without
// regard to case but are not spelt `file.createName`. On a folder that does
// not tell case apart, the file itself is not among them.
std::vector<std::string> OtherSpellings(const std::string& folder, const PreferenceFile& file) {
  std::vector<std::string> out;
  const std::string wanted = UpperAscii(file.createName);
  const std::string path = JoinDesktopPath(folder, file.createName);
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end;
       !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name == file.createName || UpperAscii(name) != wanted) continue;
    const std::string full = JoinDesktopPath(folder, name);
    if (IsRegularFile(full) && !SameFile(full, path)) out.push_back(full);
  }
  return out;
}

}  // namespace

namespace {

// Walks the three lists of a block in order, handing each entry to `add`
// with its list (0 modes, 1 types, 2 descriptions). Raises an error for an
// entry that has no ending 0.
void WalkPreferenceBlock(std::string_view block, bool yieldPerEntry,
                         const std::function<void(size_t, std::string_view)>& add) {
  size_t counts[] = {0, 0, 0};
  size_t current = 0;  // 0 modes, 1 types, 2 descriptions, 3 past the end

  size_t pos = kPreferenceHeaderSize;
  while (pos < block.size()) {
    if (current > 2) break;  // what is left (normally the final 0) is ignored
    if (block[pos] == '\0') {
      ++pos;
      ++current;
    } else {
      size_t end = block.find('\0', pos);
      if (end == std::string_view::npos) {
        Raise(err::kBadRecord, "preference block: entry " + std::to_string(counts[current] + 1) +
                                   " of the " + kListNames[current] + " list, at byte " +
                                   std::to_string(pos) + ", has no ending 0 byte");
      }
      add(current, block.substr(pos, end - pos));
      ++counts[current];
      pos = end + 1;
      // A full type list carries no ending 0: the descriptions follow at once.
      if (current == 1 && counts[1] == static_cast<size_t>(kMaxTypeEntries)) current = 2;
    }
    if (yieldPerEntry) ProcessPendingMessages();
  }
}

}  // namespace

void ParsePreferenceBlock(std::string_view block, bool yieldPerEntry) {
  ModeList.clear();
  TypeList.clear();
  DescList.clear();
  std::vector<colEnregistrement>* lists[] = {&ModeList, &TypeList, &DescList};
  WalkPreferenceBlock(block, yieldPerEntry, [&](size_t list, std::string_view text) {
    colEnregistrement entry;
    entry.Texte = std::string(text);
    lists[list]->push_back(std::move(entry));
  });
}

PreferenceListTexts ParsePreferenceLists(std::string_view block) {
  PreferenceListTexts texts;
  std::vector<std::string>* lists[] = {&texts.modes, &texts.types, &texts.descriptions};
  WalkPreferenceBlock(block, false,
                      [&](size_t list, std::string_view text) { lists[list]->emplace_back(text); });
  return texts;
}

std::string BuildPreferenceBlock(std::string_view header, const std::vector<std::string>& modes,
                                 const std::vector<std::string>& types,
                                 const std::vector<std::string>& descriptions) {
  if (types.size() > static_cast<size_t>(kMaxTypeEntries)) {
    Raise(err::kInvalidArgument, "the type list has " + std::to_string(types.size()) +
                                     " entries; the handheld holds at most 63");
  }
  // The lists are read from byte 24 on: a shorter header is padded with 0
  // bytes so that the block reads back as the lists given here.
  std::string block(header.substr(0, kPreferenceHeaderSize));
  block.resize(kPreferenceHeaderSize, '\0');
  AppendList(block, kListNames[0], modes, true);
  AppendList(block, kListNames[1], types, types.size() < static_cast<size_t>(kMaxTypeEntries));
  AppendList(block, kListNames[2], descriptions, true);
  block += '\0';
  return block;
}

bool ReadPreferenceFile(const std::string& folder, const PreferenceFile& file,
                        std::vector<std::string>& entries) {
  entries.clear();
  // "Mode.txt" itself when it is there, so that a stray "mode.txt" beside
  // it is never the one read.
  std::string path = FindFileNoCase(folder, file.createName);
  if (path.empty()) return false;
  std::string contents;
  if (!ReadWholeFile(path, contents)) return false;  // gone since the lookup
  std::vector<std::string> lines = SplitTextLines(contents);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (entries.size() >= static_cast<size_t>(file.maxLines)) break;
    std::string& line = lines[i];
    // An empty line would end its list early on the handheld: skip it.
    if (line.empty()) continue;
    if (line.find('\0') != std::string::npos) {
      Raise(err::kBadLine, path + ", line " + std::to_string(i + 1) +
                               ": holds a 0 byte, which the handheld's lists cannot store");
    }
    entries.push_back(std::move(line));
  }
  return true;
}

std::string PreferenceFileContents(const PreferenceFile& file,
                                   const std::vector<std::string>& entries) {
  std::string contents;
  for (const std::string& entry : entries) {
    contents.append(entry, 0, file.maxChars);
    contents += "\r\n";
  }
  return contents;
}

void WritePreferenceFile(const std::string& folder, const PreferenceFile& file,
                         std::string_view contents, bool permanent) {
  const std::string path = JoinDesktopPath(folder, file.createName);
  const std::vector<std::string> others = OtherSpellings(folder, file);
  ReplaceFile(path, contents, permanent);
  // The old file under another spelling ("mode.txt") is the one replaced: it
  // goes as a replaced file does, so no second version is left beside the
  // new one.
  for (const std::string& other : others) {
    RemoveFile(other, permanent);
    if (IsRegularFile(other) && !SameFile(other, path)) {
      Raise(err::kPathAccess,
            other + " was replaced by " + path + " but could not be removed; remove it by hand");
    }
  }
}

}  // namespace bolvarin
