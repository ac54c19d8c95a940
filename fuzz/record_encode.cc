// Desktop line to handheld record and back.
//
// A line that encodes gives a record that decodes; the line it decodes to is
// the line's canonical spelling: it encodes to the very same record, and its
// note is the original note with control characters other than LF blanked.
#include "fuzz/fuzz_support.h"

using namespace bolvarin;

namespace {

// Everything after the twelfth ";".
std::string Note(const std::string& line) {
  size_t pos = 0;
  for (int i = 0; i < 12; ++i) pos = line.find(';', pos) + 1;
  return line.substr(pos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  fuzz::Encoded first, second;
  std::string canonical;
  // A line that does not convert is refused.
  if (fuzz::Refused([&] { first = fuzz::Encode(line); })) return 0;
  fuzz::Require(!fuzz::Refused([&] { canonical = fuzz::Decode(first, first.record + '\0'); }),
                "the record of a line does not decode");
  fuzz::Require(Note(canonical) == BlankControls(Note(line)), "the note changes through a record");
  fuzz::Require(!fuzz::Refused([&] { second = fuzz::Encode(canonical); }),
                "the canonical line does not encode");
  fuzz::Require(second == first, "the canonical line encodes to another record");
  return 0;
}
