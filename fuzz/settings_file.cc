// The settings file: reading values from any file, and changing one.
//
// Input: a key, a value name, a value and a second key and name (each a
// length byte and its text), then the file. Whatever the file holds, a value
// that is set reads back as set, a deleted one reads as missing, and the
// other value is left as it was.
#include "config/settings_file.h"

#include "base/text.h"
#include "fuzz/fuzz_support.h"

using namespace bolvarin;

namespace {

std::string Take(std::string_view& input) {
  if (input.empty()) return {};
  size_t length = static_cast<unsigned char>(input[0]) % 32;
  input.remove_prefix(1);
  length = std::min(length, input.size());
  std::string text(input.substr(0, length));
  input.remove_prefix(length);
  return text;
}

bool Same(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string key = Take(input), name = Take(input), value = Take(input);
  const std::string otherKey = Take(input), otherName = Take(input);
  // The settings always name a key and a value; a key of the file cannot
  // start with "#", which marks a comment line.
  if (key.empty() || name.empty() || otherKey.empty() || otherName.empty()) return 0;
  if (key[0] == '#' || otherKey[0] == '#') return 0;
  const bool samePair = Same(key, otherKey) && Same(name, otherName);

  const std::string path = fuzz::CleanFolder() + "/settings";
  fuzz::WriteFile(path, input);
  FileSettings settings(path);
  const std::optional<std::string> other = settings.Query(otherKey, otherName);
  settings.Query(key, name);

  fuzz::Require(settings.Set(key, name, value), "a value cannot be set in a readable file");
  fuzz::Require(settings.Query(key, name) == value, "a value set does not read back");
  fuzz::Require(settings.Query(otherKey, otherName) == (samePair ? value : other),
                "setting one value changes another");

  fuzz::Require(settings.Delete(key, name), "a value cannot be deleted from a readable file");
  fuzz::Require(!settings.Query(key, name), "a deleted value still reads");
  fuzz::Require(settings.Query(otherKey, otherName) == (samePair ? std::nullopt : other),
                "deleting one value changes another");
  fuzz::Require(settings.CreateKey(key), "a key cannot be created in a readable file");
  return 0;
}
