#include "base/date_time.h"

#include <cstdio>

namespace bolvarin {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

bool DateTime::IsValid() const {
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month) && hour >= 0 &&
         hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

std::string FormatDateOnly(const DateTime& date) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.day, date.month, date.year);
  return buf;
}

std::string FormatDate(const DateTime& date) {
  std::string text = FormatDateOnly(date);
  if (!date.IsMidnight()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", date.hour, date.minute, date.second);
    text += buf;
  }
  return text;
}

namespace {

// Reads 1..max_digits decimal digits at pos; advances pos.
bool ReadNumber(std::string_view text, size_t& pos, int min_digits, int max_digits, int& out) {
  int digits = 0;
  int value = 0;
  while (pos < text.size() && digits < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  if (digits < min_digits) return false;
  // A longer run of digits than allowed is not a number of this field.
  if (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') return false;
  out = value;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<DateTime> ParseDate(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  size_t last = text.find_last_not_of(' ');
  text = text.substr(first, last - first + 1);

  DateTime d;
  size_t pos = 0;
  if (!ReadNumber(text, pos, 1, 2, d.day) || !Expect(text, pos, '/') ||
      !ReadNumber(text, pos, 1, 2, d.month) || !Expect(text, pos, '/') ||
      !ReadNumber(text, pos, 4, 4, d.year)) {
    return std::nullopt;
  }
  if (pos < text.size()) {
    if (!Expect(text, pos, ' ')) return std::nullopt;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!ReadNumber(text, pos, 1, 2, d.hour) || !Expect(text, pos, ':') ||
        !ReadNumber(text, pos, 1, 2, d.minute)) {
      return std::nullopt;
    }
    if (pos < text.size()) {
      if (!Expect(text, pos, ':') || !ReadNumber(text, pos, 1, 2, d.second)) return std::nullopt;
    }
    if (pos != text.size()) return std::nullopt;
  }
  if (!d.IsValid()) return std::nullopt;
  return d;
}

}  // namespace bolvarin
