// Desktop line to handheld record and back.
//
// A line that encodes gives a record that decodes; the line it decodes to is
// the line's canonical spelling: it encodes to the very same record, and its
// note is the original note with control characters other than LF blanked.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"
#include "fuzz/codec_shared.h"
#include "fuzz/fuzz_support.h"
#include "store/record_codec.h"

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
  fuzz::Encoded first;
  try {
    EncodeRecord(fuzz::Utility(), line, first.id, first.category, first.attributes, first.record);
  } catch (const ConduitError&) {
    return 0;  // a line that does not convert is refused with a description
  }

  std::string canonical;
  try {
    canonical = DecodeRecord(fuzz::Utility(), first.id, first.category, first.attributes,
                             first.record + '\0');
  } catch (const ConduitError& e) {
    fuzz::Require(false, "line " + fuzz::Show(line) + " encodes to " + fuzz::Hex(first.record) +
                             ", which does not decode: " + e.description());
  }
  fuzz::Require(Note(canonical) == BlankControls(Note(line)),
                "the note of " + fuzz::Show(line) + " comes back as " + fuzz::Show(canonical));

  fuzz::Encoded second;
  try {
    EncodeRecord(fuzz::Utility(), canonical, second.id, second.category, second.attributes,
                 second.record);
  } catch (const ConduitError& e) {
    fuzz::Require(false, "line " + fuzz::Show(line) + " decodes back as " + fuzz::Show(canonical) +
                             ", which does not encode: " + e.description());
  }
  fuzz::Require(second.id.AsInt32() == first.id.AsInt32() && second.category == first.category &&
                    second.attributes == first.attributes && second.record == first.record,
                "line " + fuzz::Show(line) + " encodes to " + fuzz::Hex(first.record) +
                    " but its canonical line " + fuzz::Show(canonical) + " to " +
                    fuzz::Hex(second.record));
  return 0;
}
