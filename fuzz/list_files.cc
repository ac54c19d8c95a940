// The list files "mode.txt", "type.txt" and "desc.txt": reading, writing back,
// and carrying their entries to the handheld in a preference block.
//
// Input: one byte choosing the file and the case of its name, then the file.
// A file that reads gives entries the block can hold; written back, it reads
// as the same entries (each cut to the file's length); and the block built
// from them parses back into the same lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "fuzz/fuzz_support.h"
#include "lists/preference_lists.h"

using namespace bolvarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const PreferenceFile* const kFiles[] = {&kModeFile, &kTypeFile, &kDescFile};
  const size_t which = data[0] % 3;
  const PreferenceFile& file = *kFiles[which];
  const std::string folder = fuzz::CleanFolder();
  fuzz::WriteFile(folder + "/" + ((data[0] & 0x80) ? file.createName : file.readName),
                  std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  std::vector<std::string> entries;
  try {
    fuzz::Require(ReadPreferenceFile(folder, file, entries), "an existing list file is not found");
  } catch (const ConduitError&) {
    return 0;  // a file that cannot be read is refused with a description
  }
  fuzz::Require(entries.size() <= static_cast<size_t>(file.maxLines), "too many entries read");

  std::vector<std::string> cut;
  for (const std::string& entry : entries) cut.push_back(entry.substr(0, file.maxChars));
  WritePreferenceFile(folder, file, PreferenceFileContents(file, entries), /*permanent=*/true);
  std::vector<std::string> back;
  fuzz::Require(ReadPreferenceFile(folder, file, back), "a written list file is not found");
  fuzz::Require(back == cut, "a written list file reads back other entries");

  std::vector<std::string> lists[3];
  lists[which] = entries;
  const std::string block =
      BuildPreferenceBlock(std::string(kPreferenceHeaderSize, 'H'), lists[0], lists[1], lists[2]);
  ParsePreferenceBlock(block, false);
  fuzz::Require(
      fuzz::Texts(ModeList) == lists[0] && fuzz::Texts(TypeList) == lists[1] &&
          fuzz::Texts(DescList) == lists[2],
      "the block built from a list file parses back into other lists: " + fuzz::Show(block));
  return 0;
}
