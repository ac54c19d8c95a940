#include "store/record_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "base/date_time.h"
#include "base/error.h"
#include "base/hex.h"
#include "base/host_events.h"
#include "base/platform.h"
#include "base/text.h"

namespace bolvarin {

namespace {

// Sizes of the fixed part of a record and of its optional items.
constexpr size_t kFixedPart = 12;  // packed date, hour, minute, amount, flag word
constexpr size_t kNumberSize = 4;
constexpr size_t kSecondDateSize = 2;
constexpr size_t kLinkSize = 4;

constexpr int kNoMode = 31;
constexpr int kNoType = 63;
constexpr int kFirstYear = 1904;
constexpr int kLastYear = 2031;

// Flag word bits, by byte of the record.
constexpr uint8_t kStatus1 = 0x80;     // byte 8
constexpr uint8_t kLinkFlag = 0x40;    // byte 8
constexpr uint8_t kModeMask = 0x3E;    // byte 8
constexpr uint8_t kTypeHigh = 0x01;    // byte 8
constexpr uint8_t kTypeLow = 0xF8;     // byte 9
constexpr uint8_t kNumberA = 0x04;     // byte 9
constexpr uint8_t kNumberB = 0x02;     // byte 9
constexpr uint8_t kStatus2 = 0x01;     // byte 9
constexpr uint8_t kSecondDate = 0x20;  // byte 10

constexpr size_t kFieldCount = 13;
constexpr const char* kFieldNames[kFieldCount] = {
    "identifier", "category", "attributes",  "date", "amount",   "status", "mode",
    "type",       "number A", "second date", "link", "number B", "note"};

uint8_t Byte(std::string_view bytes, size_t i) { return static_cast<uint8_t>(bytes[i]); }

std::string HexBytes(std::string_view bytes) { return HexText(bytes, ' '); }

std::string Two(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

std::string DescribeParts(const DateTime& d, bool withTime) {
  std::string text = "day " + std::to_string(d.day) + ", month " + std::to_string(d.month) +
                     ", year " + std::to_string(d.year);
  if (withTime) text += ", time " + Two(d.hour) + ":" + Two(d.minute);
  return text;
}

// The date a packed word (and, with `withTime`, the hour and minute bytes)
// stand for; raises naming `what` when the parts form no date.
DateTime BytesToDate(std::string_view bytes, bool withTime, const std::string& what) {
  size_t need = withTime ? 4 : 2;
  if (bytes.size() < need) {
    Raise(err::kBadRecord, what + " needs " + std::to_string(need) + " bytes, found " +
                               std::to_string(bytes.size()));
  }
  unsigned word = (static_cast<unsigned>(Byte(bytes, 0)) << 8) | Byte(bytes, 1);
  DateTime d;
  d.day = static_cast<int>(word % 32);
  d.month = static_cast<int>((word / 32) % 16);
  d.year = static_cast<int>(word / 512) + kFirstYear;
  d.hour = withTime ? Byte(bytes, 2) : 0;
  d.minute = withTime ? Byte(bytes, 3) : 0;
  d.second = 0;
  if (!d.IsValid()) {
    Raise(err::kBadRecord, what + " (" + HexBytes(bytes.substr(0, need)) +
                               ") is no valid date: " + DescribeParts(d, withTime));
  }
  return d;
}

// The signed 32-bit number of four big-endian bytes.
int64_t BytesToLong(std::string_view bytes) {
  uint32_t value = (static_cast<uint32_t>(Byte(bytes, 0)) << 24) |
                   (static_cast<uint32_t>(Byte(bytes, 1)) << 16) |
                   (static_cast<uint32_t>(Byte(bytes, 2)) << 8) | Byte(bytes, 3);
  int64_t result = value;
  if (result >= (int64_t{1} << 31)) result -= int64_t{1} << 32;
  return result;
}

std::string LinkText(uint8_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
  return buf;
}

// ---- Reading a desktop line ----------------------------------------------

std::string FieldLabel(size_t index) {
  return "Field " + std::to_string(index) + " (" + kFieldNames[index] + ")";
}

[[noreturn]] void BadField(size_t index, std::string_view text, const std::string& problem) {
  Raise(err::kBadLine, FieldLabel(index) + " \"" + std::string(text) + "\" " + problem);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A signed decimal number with optional surrounding blanks and an optional
// decimal fraction, rounded to the nearest whole number, a half going to the
// even neighbour. Raises naming the field when the text is no such number or
// lies outside the 32-bit signed range.
int32_t ReadInteger(size_t field, std::string_view raw) {
  std::string text = TrimBlanks(raw);
  if (text.empty()) BadField(field, raw, "is empty where a number is needed");
  size_t pos = 0;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') {
    negative = text[pos] == '-';
    ++pos;
  }
  size_t digitsStart = pos;
  // The magnitude is capped just above the 32-bit range so it cannot overflow.
  constexpr int64_t kCap = int64_t{1} << 32;
  int64_t magnitude = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[pos] - '0'), kCap);
    ++pos;
  }
  bool haveDigits = pos > digitsStart;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    size_t fractionStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    std::string_view fraction(text.data() + fractionStart, pos - fractionStart);
    if (!haveDigits && fraction.empty()) BadField(field, raw, "is not a number");
    if (pos != text.size()) BadField(field, raw, "is not a number");
    haveDigits = true;
    // Round half to even on the magnitude (the rule is symmetric in sign).
    if (!fraction.empty()) {
      bool up = false;
      if (fraction[0] > '5') {
        up = true;
      } else if (fraction[0] == '5') {
        bool beyondHalf = fraction.find_first_not_of('0', 1) != std::string_view::npos;
        up = beyondHalf || (magnitude % 2 == 1);
      }
      if (up) magnitude = std::min<int64_t>(magnitude + 1, kCap);
    }
  }
  if (!haveDigits || pos != text.size()) BadField(field, raw, "is not a number");
  int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) {
    BadField(field, raw, "is outside the range -2147483648 to 2147483647");
  }
  return static_cast<int32_t>(value);
}

int32_t ReadInRange(size_t field, std::string_view raw, int32_t low, int32_t high) {
  int32_t value = ReadInteger(field, raw);
  if (value < low || value > high) {
    BadField(field, raw,
             "is outside the range " + std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

// A mode or type: the whole number its leading digits spell, so a
// hand-edited "5x" reads as 5 and "4.5" as 4. Text that does not start with
// a digit, and a value above `high` (the record cannot hold it), are refused.
int32_t ReadLeadingWhole(size_t field, std::string_view raw, int32_t high) {
  std::string text = TrimBlanks(raw);
  if (text.empty() || !IsDigit(text[0])) {
    BadField(
        field, raw,
        "does not start with a digit (a whole number 0 to " + std::to_string(high) + " is needed)");
  }
  int64_t value = 0;
  for (size_t pos = 0; pos < text.size() && IsDigit(text[pos]); ++pos) {
    value = std::min<int64_t>(value * 10 + (text[pos] - '0'), int64_t{high} + 1);
  }
  if (value > high) BadField(field, raw, "is outside the range 0 to " + std::to_string(high));
  return static_cast<int32_t>(value);
}

DateTime ReadDate(size_t field, std::string_view raw) {
  std::optional<DateTime> date = ParseDate(raw);
  if (!date) BadField(field, raw, "is not a date (dd/mm/yyyy, optionally followed by hh:mm:ss)");
  if (date->year < kFirstYear || date->year > kLastYear) {
    BadField(field, raw,
             "is outside the years " + std::to_string(kFirstYear) + " to " +
                 std::to_string(kLastYear) + " that a record can hold");
  }
  return *date;
}

uint8_t ReadLink(size_t field, std::string_view raw) {
  std::string text = TrimBlanks(raw);
  // "&h" is how the value is marked as hexadecimal elsewhere; accept it.
  if (text.size() >= 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H')) {
    text.erase(0, 2);
  }
  if (text.empty()) BadField(field, raw, "is not a hexadecimal number");
  unsigned value = 0;
  for (char c : text) {
    const int digit = HexValue(c);
    if (digit < 0) BadField(field, raw, "is not a hexadecimal number");
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFF) BadField(field, raw, "is above FF, the largest link value");
  }
  return static_cast<uint8_t>(value);
}

bool IsBlank(std::string_view text) { return TrimBlanks(text).empty(); }

// Splits a line into its thirteen fields: fields 0 to 11 end at the first
// twelve separators, and the note is everything after the twelfth, so a note
// may itself hold ";".
std::array<std::string_view, kFieldCount> SplitLine(std::string_view line) {
  std::array<std::string_view, kFieldCount> fields;
  size_t start = 0;
  for (size_t i = 0; i + 1 < kFieldCount; ++i) {
    size_t sep = line.find(';', start);
    if (sep == std::string_view::npos) {
      Raise(err::kBadLine, "Line has " + std::to_string(i + 1) + " field" + (i == 0 ? "" : "s") +
                               " where 13 are needed (separated by \";\"): field " +
                               std::to_string(i + 1) + " (" + kFieldNames[i + 1] + ") is missing");
    }
    fields[i] = line.substr(start, sep - start);
    start = sep + 1;
  }
  fields[kFieldCount - 1] = line.substr(start);
  return fields;
}

// The packed date word (`whole`) or the hour and minute bytes of a date.
std::string DateToBytes(const DateTime& date, bool whole) {
  if (!date.IsValid()) {
    Raise(err::kBadLine, "Date " + DescribeParts(date, true) + " is no valid date");
  }
  std::string out(2, '\0');
  if (whole) {
    if (date.year < kFirstYear || date.year > kLastYear) {
      Raise(err::kBadLine, "Date " + FormatDate(date) + " is outside the years 1904 to 2031");
    }
    unsigned word = static_cast<unsigned>(date.day) + static_cast<unsigned>(date.month) * 32 +
                    static_cast<unsigned>(date.year - kFirstYear) * 512;
    out[0] = static_cast<char>(word >> 8);
    out[1] = static_cast<char>(word & 0xFF);
  } else {
    out[0] = static_cast<char>(date.hour);
    out[1] = static_cast<char>(date.minute);
  }
  return out;
}

// The four big-endian bytes of a signed 32-bit number.
std::string LongToBytes(int32_t number) {
  auto value = static_cast<uint32_t>(number);
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i)
    out[static_cast<size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
  return out;
}

}  // namespace

std::string BlankControls(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto code = static_cast<unsigned char>(c);
    if (code < 32 && code != '\n') c = ' ';
  }
  return out;
}

// ---- Record to line ------------------------------------------------------

std::string DecodeRecord(PlatformUtility& utility, const TaggedValue& vRecordId,
                         int32_t lngCategory, int32_t eAttributes, std::string_view record) {
  // The fixed part and at least the terminator must be there before anything is read.
  if (record.size() < kFixedPart + 1) {
    Raise(err::kBadRecord, "Record of " + std::to_string(record.size()) +
                               " bytes is too short: the date, amount and flag word need " +
                               std::to_string(kFixedPart) + " bytes, then a terminator");
  }
  std::string idText = utility.RecordIdToText(vRecordId);
  if (idText.find_first_of(";\r\n") != std::string::npos) {
    Raise(err::kBadRecord,
          "Record identifier text \"" + idText + "\" holds a separator or line break");
  }

  std::string line;
  line.reserve(record.size() + 64);
  line += idText;
  line += ';';
  line += std::to_string(lngCategory);
  line += ';';
  if (eAttributes >= 0) line += ' ';
  line += std::to_string(eAttributes);
  line += ';';
  line += FormatDate(BytesToDate(record.substr(0, 4), true, "Record date (bytes 0-3)"));
  line += ';';
  line += std::to_string(BytesToLong(record.substr(4, 4)));
  line += ';';

  uint8_t b8 = Byte(record, 8), b9 = Byte(record, 9), b10 = Byte(record, 10);
  // The flag word's bit fields read most significant bit first: mode and
  // type are the numbers their bits spell in base 2.
  int status = ((b8 & kStatus1) ? 1 : 0) + ((b9 & kStatus2) ? 2 : 0);
  int mode = (b8 & kModeMask) >> 1;
  int type = (b8 & kTypeHigh) * 32 + (b9 >> 3);
  line += std::to_string(status);
  line += ';';
  if (mode != kNoMode) line += std::to_string(mode);
  line += ';';
  if (type != kNoType) line += std::to_string(type);
  line += ';';

  // Optional items, in the record's order: number A, second date, link, number B.
  size_t pos = kFixedPart;
  auto take = [&](size_t size, const char* what) {
    // Each item must leave at least the terminator behind it.
    if (record.size() < pos + size + 1) {
      Raise(err::kBadRecord, "Record of " + std::to_string(record.size()) +
                                 " bytes is too short for its " + what + " (bytes " +
                                 std::to_string(pos) + "-" + std::to_string(pos + size - 1) +
                                 ") and the terminator");
    }
    std::string_view item = record.substr(pos, size);
    pos += size;
    return item;
  };
  std::string numberA, secondDate, link, numberB;
  if (b9 & kNumberA) numberA = std::to_string(BytesToLong(take(kNumberSize, "number A")));
  if (b10 & kSecondDate) {
    size_t at = pos;
    std::string_view item = take(kSecondDateSize, "second date");
    secondDate = FormatDateOnly(BytesToDate(
        item, false,
        "Record second date (bytes " + std::to_string(at) + "-" + std::to_string(at + 1) + ")"));
  }
  if (b8 & kLinkFlag) link = LinkText(Byte(take(kLinkSize, "link item"), 0));
  if (b9 & kNumberB) numberB = std::to_string(BytesToLong(take(kNumberSize, "number B")));
  for (const std::string* item : {&numberA, &secondDate, &link, &numberB}) {
    line += *item;
    line += ';';
  }
  // The last byte is the terminator, dropped whatever its value.
  line += BlankControls(record.substr(pos, record.size() - pos - 1));
  return line;
}

// ---- Line to record ------------------------------------------------------

int32_t LineAttributes(std::string_view line) {
  size_t first = line.find(';');
  size_t second = first == std::string_view::npos ? first : line.find(';', first + 1);
  size_t third = second == std::string_view::npos ? second : line.find(';', second + 1);
  if (third == std::string_view::npos) {
    Raise(err::kBadLine, "Line ends before field 2 (attributes): it needs at least three \";\"");
  }
  return ReadInRange(2, line.substr(second + 1, third - second - 1), 0, 255);
}

LineFields ReadLineFields(std::string_view line) {
  std::array<std::string_view, kFieldCount> f = SplitLine(line);
  LineFields out;
  out.identifier = f[0];
  out.category = ReadInteger(1, f[1]);
  out.attributes = ReadInRange(2, f[2], 0, 255);
  out.date = ReadDate(3, f[3]);
  out.date.second = 0;
  out.amount = ReadInteger(4, f[4]);
  out.status = ReadInRange(5, f[5], 0, 3);
  if (!IsBlank(f[6])) out.mode = ReadLeadingWhole(6, f[6], kNoMode - 1);
  if (!IsBlank(f[7])) out.type = ReadLeadingWhole(7, f[7], kNoType - 1);
  if (!IsBlank(f[8])) out.numberA = ReadInteger(8, f[8]);
  if (!IsBlank(f[9])) out.secondDate = ReadDate(9, f[9]);
  if (!IsBlank(f[10])) out.link = ReadLink(10, f[10]);
  if (!IsBlank(f[11])) out.numberB = ReadInteger(11, f[11]);
  out.note = BlankControls(f[12]);
  return out;
}

void EncodeRecord(PlatformUtility& utility, std::string_view line, TaggedValue& vRecordId,
                  int32_t& nCategory, int32_t& eAttributes, std::string& record) {
  LineFields f = ReadLineFields(line);

  TaggedValue id;
  try {
    id = utility.TextToRecordId(std::string(f.identifier));
  } catch (const ConduitError& e) {
    BadField(0, f.identifier, "is not a record identifier: " + e.description());
  }

  uint8_t flags[4] = {0, 0, 0, 0};
  if (f.status & 1) flags[0] = kStatus1;
  if (f.status & 2) flags[1] |= kStatus2;
  flags[0] |= static_cast<uint8_t>(f.mode.value_or(kNoMode) << 1);
  const int32_t type = f.type.value_or(kNoType);
  flags[0] |= static_cast<uint8_t>(type / 32);
  flags[1] |= static_cast<uint8_t>((type % 32) << 3);

  // Optional items, in the record's order: number A, second date, link, number B.
  std::string items;
  if (f.numberA) {
    flags[1] |= kNumberA;
    items += LongToBytes(*f.numberA);
  }
  if (f.secondDate) {
    flags[2] = kSecondDate;
    items += DateToBytes(*f.secondDate, true);
  }
  if (f.link) {
    flags[0] |= kLinkFlag;
    items += static_cast<char>(*f.link);
    items += std::string("\x00\xFF\xFF", 3);
  }
  if (f.numberB) {
    flags[1] |= kNumberB;
    items += LongToBytes(*f.numberB);
  }

  std::string out;
  out.reserve(kFixedPart + items.size() + f.note.size());
  out += DateToBytes(f.date, true);
  out += DateToBytes(f.date, false);
  out += LongToBytes(f.amount);
  for (uint8_t b : flags) out += static_cast<char>(b);
  out += items;
  out += f.note;

  vRecordId = std::move(id);
  nCategory = f.category;
  eAttributes = f.attributes;
  record = std::move(out);
  ProcessPendingMessages();
}

}  // namespace bolvarin
