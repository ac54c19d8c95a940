// Splitting a program's command line into words.
//
// Any text splits or is refused with a description; the words, each quoted
// and joined again, split back into the same words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "fuzz/fuzz_support.h"
#include "os/command_line_posix.h"

using namespace bolvarin;

namespace {

std::string Quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string command(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  try {
    words = SplitCommandLine(command);
  } catch (const ConduitError&) {
    return 0;  // an unterminated quote is refused with a description
  }
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + Quoted(word);
  std::vector<std::string> again;
  try {
    again = SplitCommandLine(joined);
  } catch (const ConduitError& e) {
    fuzz::Require(false,
                  "quoted words " + fuzz::Show(joined) + " do not split: " + e.description());
  }
  fuzz::Require(again == words, "quoted words " + fuzz::Show(joined) + " split into other words");
  return 0;
}
