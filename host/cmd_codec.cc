// syncbolvarin codec: converts one handheld ledger record to its desktop line
// and back, with the conduit's own codec.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/platform.h"
#include "base/tagged_value.h"
#include "host/commands.h"
#include "store/record_codec.h"

namespace bolvarin::host {

namespace {

// Record identifiers as the sync manager writes them: plain decimal.
class DecimalIdentifiers : public PlatformUtility {
 public:
  std::string CodeToText(int32_t code, int32_t) override {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
      text += static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
    }
    return text;
  }
  std::string RecordIdToText(const TaggedValue& vRecordId) override {
    return std::to_string(vRecordId.AsInt32());
  }
  TaggedValue TextToRecordId(const std::string& text) override {
    return TaggedValue::Int32(TaggedValue::Text(text).AsInt32());
  }
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hex digit pairs; blanks between the pairs are allowed.
std::string ParseHex(const std::vector<std::string>& words) {
  std::string digits;
  for (const std::string& word : words) {
    for (char c : word) {
      if (c == ' ' || c == '\t') continue;
      if (HexDigit(c) < 0) {
        throw CommandError(std::string("record bytes: \"") + c + "\" is not a hexadecimal digit");
      }
      digits += c;
    }
  }
  if (digits.size() % 2 != 0) {
    throw CommandError("record bytes: " + std::to_string(digits.size()) +
                       " hexadecimal digits do not make whole bytes");
  }
  std::string bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes += static_cast<char>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1]));
  }
  return bytes;
}

std::string ToHex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (i > 0) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
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
    std::string record = ParseHex(decodeArgs->hex);
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
              << ToHex(record) << "\n";
  });
}

}  // namespace bolvarin::host
