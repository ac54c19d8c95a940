// Handheld record to desktop line and back.
//
// Input: identifier (4 bytes), category (4 bytes), attributes (1 byte), then
// the record as the handheld stores it, terminator included. A record that
// decodes gives a line that stays one line of the data file and encodes back
// to the same record, except for what the record layout does not keep: the
// unused flag bits, the three filler bytes of the link item, control
// characters other than LF in the note (blanks), and the terminator.
#include "fuzz/fuzz_support.h"

using namespace bolvarin;

namespace {

int32_t Int32At(const uint8_t* data) {
  return static_cast<int32_t>((uint32_t{data[0]} << 24) | (uint32_t{data[1]} << 16) |
                              (uint32_t{data[2]} << 8) | data[3]);
}

// The record as the line keeps it.
std::string Kept(const std::string& record) {
  std::string kept = record.substr(0, record.size() - 1);  // the terminator goes
  const auto b8 = static_cast<uint8_t>(kept[8]), b9 = static_cast<uint8_t>(kept[9]);
  kept[10] = static_cast<char>(static_cast<uint8_t>(kept[10]) & 0x20);
  kept[11] = 0;
  size_t pos = 12;
  if (b9 & 0x04) pos += 4;                                     // number A
  if (static_cast<uint8_t>(kept[10]) & 0x20) pos += 2;         // second date
  if (b8 & 0x40) kept.replace(pos + 1, 3, "\x00\xFF\xFF", 3);  // link item
  if (b8 & 0x40) pos += 4;
  if (b9 & 0x02) pos += 4;  // number B
  return kept.substr(0, pos) + BlankControls(kept.substr(pos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  const std::string record(data + 9, data + size);
  fuzz::Encoded kept{TaggedValue::Int32(Int32At(data)), Int32At(data + 4), data[8], ""}, back;
  std::string line;
  // A record that does not convert is refused.
  if (fuzz::Refused([&] { line = fuzz::Decode(kept, record); })) return 0;
  fuzz::Require(line.find('\r') == std::string::npos, "the line of a record holds a CR");
  fuzz::Require(!fuzz::Refused([&] { back = fuzz::Encode(line); }),
                "the line of a record does not encode");
  kept.record = Kept(record);
  fuzz::Require(back == kept, "the line of a record encodes to another record");
  return 0;
}
