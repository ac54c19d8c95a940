// Handheld record to desktop line and back.
//
// Input: identifier (4 bytes), category (4 bytes), attributes (1 byte), then
// the record as the handheld stores it, terminator included. A record that
// decodes gives a line that stays one line of the data file and encodes back
// to the same record, except for what the record layout does not keep: the
// unused flag bits, the three filler bytes of the link item, control
// characters other than LF in the note (blanks), and the terminator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"
#include "fuzz/codec_shared.h"
#include "fuzz/fuzz_support.h"
#include "store/record_codec.h"

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
  const int32_t id = Int32At(data);
  const int32_t category = Int32At(data + 4);
  const int32_t attributes = data[8];
  const std::string record(reinterpret_cast<const char*>(data + 9), size - 9);

  std::string line;
  try {
    line = DecodeRecord(fuzz::Utility(), TaggedValue::Int32(id), category, attributes, record);
  } catch (const ConduitError&) {
    return 0;  // a record that does not convert is refused with a description
  }
  fuzz::Require(line.find('\r') == std::string::npos,
                "the line of a record holds a CR: " + fuzz::Show(line));

  fuzz::Encoded back;
  try {
    EncodeRecord(fuzz::Utility(), line, back.id, back.category, back.attributes, back.record);
  } catch (const ConduitError& e) {
    fuzz::Require(false, "the line " + fuzz::Show(line) + " of record " + fuzz::Hex(record) +
                             " does not encode: " + e.description());
  }
  fuzz::Require(
      back.id.AsInt32() == id && back.category == category && back.attributes == attributes,
      "identifier, category or attributes change through " + fuzz::Show(line));
  const std::string kept = Kept(record);
  fuzz::Require(back.record == kept, "record " + fuzz::Hex(record) + " gives line " +
                                         fuzz::Show(line) + ", which encodes to " +
                                         fuzz::Hex(back.record) + " instead of " + fuzz::Hex(kept));
  return 0;
}
