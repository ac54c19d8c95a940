// The record codec (record bytes to desktop line and back) and the hex text
// that it, the image and the host use for bytes.
#include "store/record_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/error.h"
#include "base/hex.h"
#include "handheld/sim_platform.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

std::string Raw(const std::string& hex) {
  std::string bytes;
  EXPECT_FALSE(ParseHex(hex, true, bytes)) << hex;
  return bytes;
}

PlatformUtility& Utility() {
  static handheld::Device device;
  static handheld::SimPlatform platform(device, {});
  static std::shared_ptr<PlatformUtility> utility = platform.NewPlatformUtility();
  return *utility;
}

std::string Decode(const std::string& record, int32_t id = 7, int32_t category = 2,
                   int32_t attributes = 64) {
  return DecodeRecord(Utility(), TaggedValue::Int32(id), category, attributes, record);
}

// The line's identifier, category, attributes and record bytes, as "7;2;64 C799...".
std::string Encode(const std::string& line) {
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  std::string record;
  EncodeRecord(Utility(), line, id, category, attributes, record);
  return std::to_string(id.AsInt32()) + ";" + std::to_string(category) + ";" +
         std::to_string(attributes) + " " + HexText(record);
}

// Records (without their terminator) and the line fields 3 to 12 (after
// "7;2; 64;") they stand for, read both ways or in the one way given.
TEST(RecordCodec, RecordsAndLines) {
  enum Way { kBoth, kDecodes, kEncodes };
  const struct {
    Way way;
    const char* hex;
    std::string rest;
  } cases[] = {
      {kBoth, "C7990E1E FFFFFF9C BFF90000 6EE97465", "25/12/2003 14:30:00;-100;3;;;;;;;n\xE9te"},
      {kBoth, "C7990000 00000000 00000000", "25/12/2003;0;0;0;0;;;;;"},
      {kBoth, "C7990000 00000000 3FF80000", "25/12/2003;0;0;;;;;;;"},
      {kBoth, "C7990000 00000000 0B400000", "25/12/2003;0;0;5;40;;;;;"},
      {kBoth, "C7990000 00000000 3DF00000", "25/12/2003;0;0;30;62;;;;;"},
      {kBoth, "0021173B 80000000 80000000", "01/01/1904 23:59:00;-2147483648;1;0;0;;;;;"},
      {kBoth, "FF9F0000 7FFFFFFF 3FF90000", "31/12/2031;2147483647;2;;;;;;;"},
      {kBoth, "C7990000 00000000 40000000 0000FFFF", "25/12/2003;0;0;0;0;;;0;;"},
      // Every item, in the order number A, second date, link, number B; ";" and LF in the note.
      {kBoth, "C7990000 00000000 40062000 FFFFFFFF C841 1B00FFFF 12345678 783B0A79",
       "25/12/2003;0;0;0;0;-1;01/02/2004;1B;305419896;x;\ny"},
      // Controls other than LF become blanks.
      {kDecodes, "C7990000 00000000 00000000 610D620A630964", "25/12/2003;0;0;0;0;;;;;a b\nc d"},
      // Bits of bytes 10 and 11 that carry no item, and the link item's last three bytes, are
      // not read.
      {kDecodes, "C7990000 00000000 4000DFFF FF123456", "25/12/2003;0;0;0;0;;;FF;;"},
      {kEncodes, "C8410905 00000007 7FF80000 FF00FFFF", "1/2/2004 9:05;+7 ;0; ;  ;;;ff;;"},
      // A record holds no seconds.
      {kEncodes, "C8410905 00000000 3FF80000", "01/02/2004 09:05:59;0;0;;;;;;;"},
      // Fractions round to the nearest whole number, a half to the even one.
      {kEncodes, "C8210000 00000002 3FF80000", "01/01/2004;2.5;0;;;;;;;"},
      {kEncodes, "C8210000 00000004 3FF80000", "01/01/2004;3.5;0;;;;;;;"},
      {kEncodes, "C8210000 00000003 3FF80000", "01/01/2004;2.51;0;;;;;;;"},
      {kEncodes, "C8210000 FFFFFFFE 3FF80000", "01/01/2004;-2.5;0;;;;;;;"},
      {kEncodes, "C8210000 FFFFFFFD 3FF80000", "01/01/2004;-2.6;0;;;;;;;"},
      {kEncodes, "C8210000 00000000 3FF80000", "01/01/2004;.5;0;;;;;;;"},
      {kEncodes, "C8210000 00000001 3FF80000", "01/01/2004;1.;0;;;;;;;"},
      // Mode and type are the whole number of their leading digits: 5 and 40 give 0B 40.
      {kEncodes, "C8210000 00000000 0B400000", "01/01/2004;0;0;5x;040 types;;;;;"},
      {kEncodes, "C8210000 00000000 0B400000", "01/01/2004;0;0; 5.5 ;40.9;;;;;"},
  };
  testing::YieldCounter yields;
  int encodes = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rest);
    if (c.way != kEncodes) {
      EXPECT_EQ(Decode(Raw(c.hex) + '\0'), "7;2; 64;" + c.rest);
    }
    if (c.way == kDecodes) continue;
    EXPECT_EQ(Encode("7;2; 64;" + c.rest), "7;2;64 " + HexText(Raw(c.hex)));
    EXPECT_EQ(yields.count, ++encodes);  // once for each record
  }
  const std::string fixed = Raw("C7990000 00000000 00000000");
  EXPECT_EQ(Decode(fixed + '\0', -5, 15, 0), "-5;15; 0;25/12/2003;0;0;0;0;;;;;");
  EXPECT_EQ(Decode(fixed + '\0', 1, 1, -1), "1;1;-1;25/12/2003;0;0;0;0;;;;;");
  // The terminator is dropped whatever its value.
  EXPECT_EQ(Decode(fixed + "dZ"), "7;2; 64;25/12/2003;0;0;0;0;;;;;d");
  EXPECT_EQ(Encode("1;0;64;01/01/2004;0;0;;;;;;;"), "1;0;64 C8210000000000003FF80000");
}

// What does not convert is refused with a description naming the field, or
// the bytes, and what is wrong with them; a refused line yields nothing.
TEST(RecordCodec, RefusesBrokenRecordsAndBadFields) {
  const std::pair<const char*, const char*> records[] = {
      {"C7990000 00000000 00000000", "12 bytes is too short"},
      {"C7B90000 00000000 00000000 00", "date (bytes 0-3) (C7 B9 00 00) is no valid date"},
      {"C65E0000 00000000 00000000 00", "day 30, month 2"},
      {"C7991800 00000000 00000000 00", "time 24:00"},
      {"C799173C 00000000 00000000 00", "time 23:60"},
      {"C7990000 00000000 00040000 01020304", "too short for its number A (bytes 12-15)"},
      {"C7990000 00000000 00002000 C70000", "second date (bytes 12-13)"},
      {"C7990000 00000000 40000000 0A00FF", "too short for its link item"},
      {"C7990000 00000000 00060000 00000001 00000002", "too short for its number B"}};
  for (const auto& [hex, message] : records) {
    const testing::Raised raised = testing::RaisedBy([&] { Decode(Raw(hex)); });
    EXPECT_EQ(raised.number, err::kBadRecord) << hex;
    EXPECT_NE(raised.text.find(message), std::string::npos) << hex << ": " << raised.text;
  }
  const std::pair<const char*, const char*> lines[] = {
      {"5;1; 0;01/01/2004;0;0;;;;;;", "Line has 12 fields where 13"},
      {"5", "field 1 (category) is missing"},
      {"x;1; 0;01/01/2004;0;0;;;;;;;", "Field 0 (identifier) \"x\" is not a record"},
      {"5;one; 0;01/01/2004;0;0;;;;;;;", "Field 1 (category) \"one\" is not a number"},
      {"5;1; 256;01/01/2004;0;0;;;;;;;", "Field 2 (attributes) \" 256\" is outside"},
      {"5;1;;01/01/2004;0;0;;;;;;;", "Field 2 (attributes) \"\" is empty"},
      {"5;1; 0;32/01/2004;0;0;;;;;;;", "Field 3 (date) \"32/01/2004\" is not a date"},
      {"5;1; 0;31/12/1903;0;0;;;;;;;", "Field 3 (date) \"31/12/1903\" is outside the years"},
      {"5;1; 0;01/01/2032;0;0;;;;;;;", "outside the years 1904 to 2031"},
      {"5;1; 0;01/01/2004;12x;0;;;;;;;", "Field 4 (amount) \"12x\" is not a number"},
      {"5;1; 0;01/01/2004;2147483648;0;;;;;;;", "Field 4 (amount) \"2147483648\" is outside"},
      {"5;1; 0;01/01/2004;99999999999999999999;0;;;;;;;", "Field 4 (amount)"},
      {"5;1; 0;01/01/2004;0;4;;;;;;;", "Field 5 (status) \"4\" is outside the range 0 to 3"},
      {"5;1; 0;01/01/2004;0;0;31;;;;;;", "Field 6 (mode) \"31\" is outside the range 0 to 30"},
      {"5;1; 0;01/01/2004;0;0;99999999999;;;;;;", "Field 6 (mode) \"99999999999\" is outside"},
      {"5;1; 0;01/01/2004;0;0;-1;;;;;;", "Field 6 (mode) \"-1\" does not start with a digit"},
      {"5;1; 0;01/01/2004;0;0;;63;;;;;", "Field 7 (type) \"63\" is outside the range 0 to 62"},
      {"5;1; 0;01/01/2004;0;0;;x4;;;;;", "Field 7 (type) \"x4\" does not start with a digit"},
      {"5;1; 0;01/01/2004;0;0;;;abc;;;;", "Field 8 (number A) \"abc\""},
      {"5;1; 0;01/01/2004;0;0;;;;1/13/2004;;;", "Field 9 (second date) \"1/13/2004\""},
      {"5;1; 0;01/01/2004;0;0;;;;;100;;", "Field 10 (link) \"100\" is above FF"},
      {"5;1; 0;01/01/2004;0;0;;;;;G;;", "Field 10 (link) \"G\" is not a hexadecimal"},
      {"5;1; 0;01/01/2004;0;0;;;;;;3000000000;", "Field 11 (number B)"}};
  testing::YieldCounter yields;
  for (const auto& [line, message] : lines) {
    const testing::Raised raised = testing::RaisedBy([&] { Encode(line); });
    EXPECT_EQ(raised.number, err::kBadLine) << line;
    EXPECT_NE(raised.text.find(message), std::string::npos) << line << ": " << raised.text;
  }
  EXPECT_EQ(yields.count, 0);
  EXPECT_EQ(LineAttributes("1;2; 136;not a date"), 136);
  for (const char* line : {"1;2; 1", "1;2;300;"}) {
    const testing::Raised raised = testing::RaisedBy([&] { LineAttributes(line); });
    EXPECT_EQ(raised.number, err::kBadLine) << line;
    EXPECT_NE(raised.text.find("ield 2 (attributes)"), std::string::npos) << raised.text;
  }
}

TEST(RecordCodec, HostCommand) {
  const std::string line = "12;3; 64;25/12/2003 14:30:00;-100;3;;;;;A;;a;b";
  testing::HostResult enc = testing::RunHost({"codec", "encode", line});
  EXPECT_EQ(enc.status, 0) << enc.err;
  EXPECT_EQ(enc.out,
            "id=12 category=3 attributes=64\n"
            "C7 99 0E 1E FF FF FF 9C FF F9 00 00 0A 00 FF FF 61 3B 62 00\n");
  testing::HostResult dec =
      testing::RunHost({"codec", "decode", "--id", "12", "--category", "3", "--attributes", "64",
                        "C7990E1E FFFFFF9C FFF90000 0A00FFFF 613B62", "00"});
  EXPECT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out, line + "\n");
  for (auto [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"codec", "encode", "12;3; 64;25/12/2003;x;3;;;;;;;"}, "Field 4 (amount) \"x\""},
           {{"codec", "decode", "C7990E1E"}, "too short"},
           {{"codec", "decode", "C7 9Z"}, "not a hex digit"}}) {
    testing::HostResult r = testing::RunHost(args);
    EXPECT_NE(r.status, 0) << args.back();
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
}

// What each text reads as: its bytes in hex, or why it is refused.
TEST(Hex, ParseAndPrintAgree) {
  const std::tuple<std::string, bool, std::string> cases[] = {
      {"", false, ""},
      {"c7990E", false, "C7 99 0E"},
      {" C7 9 9\t0e ", true, "C7 99 0E"},
      {"C7 99", false, "character 3 (' ') is not a hex digit"},
      {"C7G9", true, "character 3 ('G') is not a hex digit"},
      {"C79", false, "odd number of hex digits"},
  };
  for (const auto& [text, allowBlanks, result] : cases) {
    std::string bytes = "untouched";
    auto problem = ParseHex(text, allowBlanks, bytes);
    EXPECT_EQ(problem ? problem->Describe() : HexText(bytes, ' '), result) << text;
    EXPECT_EQ(bytes, problem ? "untouched" : bytes) << text;
  }
  EXPECT_EQ(HexText(std::string("\x00\xff", 2)), "00FF");
}

}  // namespace
}  // namespace bolvarin
