// Conversion between a handheld ledger record and a desktop text line.
//
// A record is handled as text of one character per byte (std::string holds
// the bytes unchanged). The desktop line has thirteen fields separated by
// ";": identifier, category, attributes, date and time, amount, status, mode,
// type, number A, second date, link, number B, note. Optional items sit in
// the record in the order number A, second date, link item, number B, in both
// directions.
//
// Every failure raises a ConduitError whose description names the field and
// what is wrong with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "base/tagged_value.h"

namespace bolvarin {

class PlatformUtility;

// Record bytes (without the caller's terminator handling: the last byte of
// `record` is the terminator and is dropped) to the desktop line.
std::string DecodeRecord(PlatformUtility& utility, const TaggedValue& vRecordId,
                         int32_t lngCategory, int32_t eAttributes, std::string_view record);

// Desktop line to identifier, category, attributes and the record's bytes
// (without the terminating 0, which ReadByIndex appends). Yields once to the
// host after the conversion.
void EncodeRecord(PlatformUtility& utility, std::string_view line, TaggedValue& vRecordId,
                  int32_t& nCategory, int32_t& eAttributes, std::string& record);

// The fields of a desktop line as the record holds them, read and checked
// as EncodeRecord reads them (the identifier is left as text: the platform
// reads it). Optional fields that are blank are absent.
struct LineFields {
  std::string_view identifier;
  int32_t category = 0;
  int32_t attributes = 0;
  DateTime date;  // seconds dropped: the record has no place for them
  int32_t amount = 0;
  int32_t status = 0;
  std::optional<int32_t> mode, type, numberA, numberB;
  std::optional<DateTime> secondDate;
  std::optional<uint8_t> link;
  std::string note;  // control characters other than LF made blanks
};
LineFields ReadLineFields(std::string_view line);

// The attributes of a line (field 2) alone, without converting the rest.
int32_t LineAttributes(std::string_view line);

// The text with every control character but LF made a blank, as a record
// note holds it.
std::string BlankControls(std::string_view text);

}  // namespace bolvarin
