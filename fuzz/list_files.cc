// The list files "mode.txt", "type.txt" and "desc.txt": reading, writing back,
// and carrying their entries to the handheld in a preference block.
//
// Input: one byte choosing the file and the case of its name, then the file.
// A file that reads gives entries the block can hold; written back, it reads
// as the same entries (each cut to the file's length); and the block built
// from them parses back into the same lists.
#include "fuzz/fuzz_support.h"

using namespace bolvarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const PreferenceFile* const kFiles[] = {&kModeFile, &kTypeFile, &kDescFile};
  const size_t which = data[0] % 3;
  const PreferenceFile& file = *kFiles[which];
  const std::string folder = fuzz::CleanFolder();
  fuzz::WriteFile(folder + "/" + ((data[0] & 0x80) ? file.createName : file.readName),
                  std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  std::vector<std::string> entries, cut, back;
  bool found = false;
  // A file that cannot be read is refused.
  if (fuzz::Refused([&] { found = ReadPreferenceFile(folder, file, entries); })) return 0;
  fuzz::Require(found, "an existing list file is not found");
  fuzz::Require(entries.size() <= static_cast<size_t>(file.maxLines), "too many entries read");

  for (const std::string& entry : entries) cut.push_back(entry.substr(0, file.maxChars));
  WritePreferenceFile(folder, file, PreferenceFileContents(file, entries), /*permanent=*/true);
  fuzz::Require(ReadPreferenceFile(folder, file, back), "a written list file is not found");
  fuzz::Require(back == cut, "a written list file reads back other entries");

  fuzz::Lists lists;
  lists[which] = entries;
  const std::string block = fuzz::Block(std::string(kPreferenceHeaderSize, 'H'), lists);
  fuzz::Require(fuzz::Parsed(block) == lists, "the block of a list file parses as other lists");
  return 0;
}
