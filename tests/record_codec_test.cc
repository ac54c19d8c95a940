#include "store/record_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/hex.h"
#include "base/host_events.h"
#include "handheld/sim_platform.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

std::string Raw(const std::string& hex) {
  std::string bytes;
  EXPECT_FALSE(ParseHex(hex, true, bytes)) << hex;
  return bytes;
}

std::string HexOf(const std::string& raw) { return handheld::ToHex(Bytes(raw.begin(), raw.end())); }

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
         std::to_string(attributes) + " " + HexOf(record);
}

// Runs `convert` and expects a ConduitError with `number` whose description holds `message`.
template <typename F>
void ExpectError(F convert, int32_t number, const std::string& message, const std::string& what) {
  const testing::Raised raised = testing::RaisedBy(convert);
  EXPECT_EQ(raised.number, number) << what;
  EXPECT_NE(raised.text.find(message), std::string::npos) << what << ": " << raised.text;
}

// Records and the line fields 3 to 12 (after "7;2; 64;") they stand for, read both ways.
TEST(RecordCodec, RecordsAndLinesBothWays) {
  for (auto [hex, rest] : std::vector<std::pair<const char*, std::string>>{
           {"C7990E1E FFFFFF9C BFF90000 6E6F7465", "25/12/2003 14:30:00;-100;3;;;;;;;note"},
           {"C7990000 00000000 00000000", "25/12/2003;0;0;0;0;;;;;"},
           {"C7990000 00000000 3FF80000", "25/12/2003;0;0;;;;;;;"},
           {"C7990000 00000000 0B400000", "25/12/2003;0;0;5;40;;;;;"},
           {"C7990000 00000000 3DF00000", "25/12/2003;0;0;30;62;;;;;"},
           {"0021173B 80000000 80000000", "01/01/1904 23:59:00;-2147483648;1;0;0;;;;;"},
           {"FF9F0000 7FFFFFFF 3FF90000", "31/12/2031;2147483647;2;;;;;;;"},
           {"C7990000 00000000 40000000 0A00FFFF", "25/12/2003;0;0;0;0;;;A;;"},
           {"C7990000 00000000 40000000 0000FFFF", "25/12/2003;0;0;0;0;;;0;;"},
           {"C7990000 00000000 00040000 FFFFFFFF", "25/12/2003;0;0;0;0;-1;;;;"},
           {"C7990000 00000000 00002000 C799", "25/12/2003;0;0;0;0;;25/12/2003;;;"},
           {"C7990000 00000000 00020000 00000007", "25/12/2003;0;0;0;0;;;;7;"},
           // Every item, in the order number A, second date, link, number B; ";" and LF in the
           // note.
           {"C7990000 00000000 40062000 FFFFFFFF C799 1B00FFFF 00000010 783B0A79",
            "25/12/2003;0;0;0;0;-1;25/12/2003;1B;16;x;\ny"}}) {
    EXPECT_EQ(Decode(Raw(hex) + '\0'), "7;2; 64;" + rest) << hex;
    EXPECT_EQ(Encode("7;2; 64;" + rest), "7;2;64 " + HexOf(Raw(hex))) << rest;
  }
}

TEST(RecordCodec, DecodeOnlyForms) {
  const std::string fixed = Raw("C7 99 00 00 00000000 00000000");
  EXPECT_EQ(Decode(fixed + '\0', -5, 15, 0), "-5;15; 0;25/12/2003;0;0;0;0;;;;;");
  EXPECT_EQ(Decode(fixed + '\0', 1, 1, -1), "1;1;-1;25/12/2003;0;0;0;0;;;;;");
  // Controls other than LF become blanks; the terminator is dropped whatever its value.
  EXPECT_EQ(Decode(fixed + "a\rb\nc\td" + 'Z'), "7;2; 64;25/12/2003;0;0;0;0;;;;;a b\nc d");
  // Bits of bytes 10 and 11 that carry no item, and the link item's last three bytes, are not read.
  EXPECT_EQ(Decode(Raw("C7 99 00 00 00000000 40 00 DF FF FF 12 34 56 00")),
            "7;2; 64;25/12/2003;0;0;0;0;;;FF;;");
}

TEST(RecordCodec, EncodeOnlyFormsYieldOncePerRecord) {
  int yields = 0;
  auto previous = SetPendingMessagesHandler([&] { ++yields; });
  EXPECT_EQ(Encode("1;0;64;1/2/2004 9:05;+7 ;0; ;  ;;;ff;;"),
            "1;0;64 C8410905000000077FF80000FF00FFFF");
  // A record holds no seconds.
  EXPECT_EQ(Encode("1;0; 64;01/02/2004 09:05:59;0;0;;;;;;;"), "1;0;64 C8410905000000003FF80000");
  // Fractions round to the nearest whole number, a half to the even one.
  for (auto [amount, value] : std::vector<std::pair<std::string, int>>{
           {"2.5", 2}, {"3.5", 4}, {"2.51", 3}, {"-2.5", -2}, {"-2.6", -3}, {".5", 0}, {"1.", 1}}) {
    EXPECT_EQ(Encode("5;1; 0;01/01/2004;" + amount + ";0;;;;;;;"),
              "5;1;0 C8210000" + HexOf(LongToBytes(value)) + "3FF80000");
  }
  // Mode and type are the whole number of their leading digits: 5 and 40 give 0B 40.
  for (auto [mode, type] : std::vector<std::pair<std::string, std::string>>{
           {"5x", "40.9"}, {" 5.5 ", "40 types"}, {"05", "040"}}) {
    EXPECT_EQ(Encode("5;1; 0;01/01/2004;0;0;" + mode + ";" + type + ";;;;;"),
              "5;1;0 C821000000000000" + std::string("0B400000"));
  }
  EXPECT_THROW(Encode("5;1; 0;01/01/2004;x;0;;;;;;;"), ConduitError);
  SetPendingMessagesHandler(previous);
  EXPECT_EQ(yields, 12);
}

TEST(RecordCodec, RefusesBrokenRecords) {
  for (auto [hex, message] : std::vector<std::pair<const char*, const char*>>{
           {"C7 99 00 00 00000000 00000000", "12 bytes is too short"},
           {"C7 B9 00 00 00000000 00000000 00", "date (bytes 0-3) (C7 B9 00 00) is no valid date"},
           {"C6 5E 00 00 00000000 00000000 00", "day 30, month 2"},
           {"C7 99 18 00 00000000 00000000 00", "time 24:00"},
           {"C7 99 17 3C 00000000 00000000 00", "time 23:60"},
           {"C7990000 00000000 00040000 01020304", "too short for its number A (bytes 12-15)"},
           {"C7 99 00 00 00000000 00 00 20 00 C7 00 00", "second date (bytes 12-13)"},
           {"C7 99 00 00 00000000 40 00 00 00 0A 00 FF", "too short for its link item"},
           {"C7 99 00 00 00000000 00 06 00 00 00000001 00000002", "too short for its number B"}}) {
    ExpectError([&] { Decode(Raw(hex)); }, err::kBadRecord, message, hex);
  }
}

TEST(RecordCodec, RefusesBadFields) {
  for (auto [line, message] : std::vector<std::pair<const char*, const char*>>{
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
           {"5;1; 0;01/01/2004;0;0;;;;;;3000000000;", "Field 11 (number B)"}}) {
    ExpectError([&] { Encode(line); }, err::kBadLine, message, line);
  }
  EXPECT_EQ(LineAttributes("1;2; 136;not a date"), 136);
  ExpectError([] { LineAttributes("1;2; 1"); }, err::kBadLine, "field 2 (attributes)", "1;2; 1");
  ExpectError([] { LineAttributes("1;2;300;"); }, err::kBadLine, "Field 2 (attributes)", "300");
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

// Records built from random parts, with every combination of optional items,
// come back byte for byte after a trip through the desktop line.
TEST(RecordCodec, RoundTripOfGeneratedRecords) {
  std::mt19937 rng(20040101);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  auto date = [&] {
    int year = pick(1904, 2031), month = pick(1, 12);
    return DateTime{year, month, pick(1, DaysInMonth(year, month)), pick(0, 23), pick(0, 59), 0};
  };
  for (int n = 0; n < 4000; ++n) {
    const int items = n % 16;  // number A, second date, link, number B
    DateTime when = date();
    if (n % 3 == 0) when.hour = when.minute = 0;
    std::string record = DateToBytes(when, true) + DateToBytes(when, false);
    record += LongToBytes(static_cast<int32_t>(rng()));
    std::string flags = LongToBytes(static_cast<int32_t>(rng()));  // status, mode and type bits
    flags[0] = static_cast<char>((flags[0] & ~0x40) | (items & 4 ? 0x40 : 0));
    flags[1] = static_cast<char>((flags[1] & ~0x06) | (items & 1 ? 4 : 0) | (items & 8 ? 2 : 0));
    flags[2] = static_cast<char>(items & 2 ? 0x20 : 0);
    flags[3] = 0;
    record += flags;
    if (items & 1) record += LongToBytes(static_cast<int32_t>(rng()));
    if (items & 2) record += DateToBytes(date(), true);
    if (items & 4) record += static_cast<char>(pick(0, 255)) + std::string("\x00\xFF\xFF", 3);
    if (items & 8) record += LongToBytes(static_cast<int32_t>(rng()));
    for (int i = pick(0, 40); i > 0; --i) {
      int c = pick(0, 255);
      record += static_cast<char>(c < 32 && c != '\n' ? ';' : c);  // no other control in a line
    }
    int32_t id = static_cast<int32_t>(rng()), category = pick(0, 15), attributes = pick(0, 255);
    std::string line = Decode(record + '\0', id, category, attributes);
    ASSERT_EQ(Encode(line), std::to_string(id) + ";" + std::to_string(category) + ";" +
                                std::to_string(attributes) + " " + HexOf(record))
        << line;
    EXPECT_EQ(LineAttributes(line), attributes);
  }
}

}  // namespace
}  // namespace bolvarin
