// A calendar date with a time of day, as the ledger lines and records carry it.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace bolvarin {

struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // Members are ordered from the largest unit, so this is chronological order.
  auto operator<=>(const DateTime&) const = default;

  bool IsMidnight() const { return hour == 0 && minute == 0 && second == 0; }
  // True when the parts form a real calendar date and a time of day.
  bool IsValid() const;
};

int DaysInMonth(int year, int month);

// The desktop text form: "dd/mm/yyyy", followed, when the time is not
// midnight, by one blank and "hh:mm:ss" on a 24-hour clock.
std::string FormatDate(const DateTime& date);
// The date alone, "dd/mm/yyyy" (second dates carry no time).
std::string FormatDateOnly(const DateTime& date);

// Reads what FormatDate writes. Day first; one or two digits for day, month,
// hour, minute and second, four for the year; the time part is optional and
// may omit the seconds. Blanks around the text are allowed. Returns nothing
// when the text is not such a date or the parts form no valid date.
std::optional<DateTime> ParseDate(std::string_view text);

}  // namespace bolvarin
