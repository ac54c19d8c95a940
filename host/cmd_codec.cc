// syncbolvarin codec: converts one handheld ledger record to its desktop line
// and back, with the conduit's own codec.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/hex.h"
#include "base/platform.h"
#include "base/tagged_value.h"
#include "handheld/device.h"
#include "host/commands.h"
#include "store/record_codec.h"

namespace bolvarin::host {

namespace {

// Record identifiers as the sync manager writes them: plain decimal.
class DecimalIdentifiers : public PlatformUtility {
 public:
  std::string CodeToText(int32_t code, int32_t) override { return handheld::UnpackCode(code); }
  std::string RecordIdToText(const TaggedValue& vRecordId) override {
    return std::to_string(vRecordId.AsInt32());
  }
  TaggedValue TextToRecordId(const std::string& text) override {
    return TaggedValue::Int32(TaggedValue::Text(text).AsInt32());
  }
};

// Hex digit pairs; blanks between the pairs, and the words, are allowed.
std::string ParseRecordHex(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += word + " ";
  std::string bytes;
  if (auto problem = ParseHex(joined, /*allowBlanks=*/true, bytes)) {
    throw CommandError("record bytes: " + problem->Describe());
  }
  return bytes;
}

struct DecodeArgs {
  int32_t id = 0;
  int32_t category = 0;
  int32_t attributes = 0;
  std::vector<std::string> hex;
};

}  // namespace

void AddCodecCommand(CLI::App& app) {
  auto* codec =
      app.add_subcommand("codec", "Convert between a handheld ledger record and its desktop line");
  codec->require_subcommand(1);

  auto decodeArgs = std::make_shared<DecodeArgs>();
  auto* decode = codec->add_subcommand(
      "decode",
      "Print the desktop line of a handheld record. HEX is the record's bytes as the handheld "
      "stores them, the terminating byte included (the last byte is dropped whatever its value)");
  decode->add_option("--id", decodeArgs->id, "Record identifier")->capture_default_str();
  decode->add_option("--category", decodeArgs->category, "Category")->capture_default_str();
  decode->add_option("--attributes", decodeArgs->attributes, "Record attributes")
      ->capture_default_str();
  decode
      ->add_option("HEX", decodeArgs->hex,
                   "Record bytes in hexadecimal, terminator included, e.g. \"C7990E1E FFFFFF9C "
                   "BFF90000 41 00\" (blanks between bytes allowed)")
      ->required();
  decode->callback([decodeArgs] {
    std::string record = ParseRecordHex(decodeArgs->hex);
    DecimalIdentifiers utility;
    try {
      std::cout << DecodeRecord(utility, TaggedValue::Int32(decodeArgs->id), decodeArgs->category,
                                decodeArgs->attributes, record)
                << "\n";
    } catch (const ConduitError& e) {
      throw CommandError("decode: " + e.description());
    }
  });

  auto line = std::make_shared<std::string>();
  auto* encode = codec->add_subcommand(
      "encode",
      "Print \"id=N category=C attributes=A\", then on the next line the record's bytes in "
      "upper-case hexadecimal, separated by blanks, ending with the terminating 00");
  encode->add_option("LINE", *line, "A desktop line of thirteen fields separated by \";\"")
      ->required();
  encode->callback([line] {
    DecimalIdentifiers utility;
    TaggedValue id;
    int32_t category = 0;
    int32_t attributes = 0;
    std::string record;
    try {
      EncodeRecord(utility, *line, id, category, attributes, record);
    } catch (const ConduitError& e) {
      throw CommandError("encode: " + e.description());
    }
    record += '\0';
    std::cout << "id=" << id.AsInt32() << " category=" << category << " attributes=" << attributes
              << "\n"
              << HexText(record, ' ') << "\n";
  });
}

}  // namespace bolvarin::host
