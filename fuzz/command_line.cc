// Splitting a program's command line into words.
//
// Any text splits or is refused with a description; the words, each quoted
// and joined again, split back into the same words.
#include "fuzz/fuzz_support.h"
#include "os/command_line_posix.h"

using namespace bolvarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words, again;
  // An unterminated quote is refused.
  if (fuzz::Refused([&] { words = SplitCommandLine(std::string(data, data + size)); })) return 0;
  std::string joined;
  for (const std::string& word : words) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    joined += (joined.empty() ? "" : " ") + quoted + "'";
  }
  fuzz::Require(!fuzz::Refused([&] { again = SplitCommandLine(joined); }),
                "quoted words do not split");
  fuzz::Require(again == words, "quoted words split into other words");
  return 0;
}
