#include "export/exports.h"

#include "base/error.h"

namespace bolvarin {

namespace {

constexpr std::string_view kFormatNames[] = {"csv", "qif", "ofx", "ledger", "beancount"};
constexpr std::string_view kMarkNames[] = {"uncleared", "cleared", "reconciled"};

}  // namespace

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
  for (size_t i = 0; i < std::size(kFormatNames); ++i) {
    if (kFormatNames[i] == name) return static_cast<ExportFormat>(i);
  }
  return std::nullopt;
}

std::optional<StatusMarks> ParseStatusMarks(std::string_view text) {
  StatusMarks marks{};
  size_t start = 0;
  for (size_t status = 0; status < marks.size(); ++status) {
    const size_t comma = text.find(',', start);
    if ((comma == std::string_view::npos) != (status + 1 == marks.size())) return std::nullopt;
    const std::string_view word = text.substr(start, comma - start);
    size_t m = 0;
    while (m < std::size(kMarkNames) && kMarkNames[m] != word) ++m;
    if (m == std::size(kMarkNames)) return std::nullopt;
    marks[status] = static_cast<ClearMark>(m);
    start = comma + 1;
  }
  return marks;
}

std::string AmountText(int64_t amount, int decimals, char point) {
  uint64_t magnitude = amount < 0 ? 0 - static_cast<uint64_t>(amount) : amount;
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string text = amount < 0 ? "-" : "";
  text += std::to_string(magnitude / scale);
  if (decimals > 0) {
    std::string fraction = std::to_string(magnitude % scale);
    text += point;
    text.append(static_cast<size_t>(decimals) - fraction.size(), '0');
    text += fraction;
  }
  return text;
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\n') c = ' ';
  }
  return out;
}

std::string MarkupText(std::string_view text, bool quotes) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += quotes ? "&quot;" : "\"";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FirstCharacters(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size() && seen < count; ++seen) {
    ++end;  // past the lead byte, then past its continuation bytes
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(text.substr(0, end));
}

std::string Digits(int value, int width) {
  std::string text(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10) {
    text[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
  }
  return text;
}

std::string IsoDate(const DateTime& date) {
  return Digits(date.year, 4) + "-" + Digits(date.month, 2) + "-" + Digits(date.day, 2);
}

std::string TimeText(const DateTime& date) {
  return date.IsMidnight() ? "" : Digits(date.hour, 2) + ":" + Digits(date.minute, 2);
}

namespace {

void CheckCurrency(const std::string& currency) {
  bool ok = currency.size() == 3;
  for (char c : currency) ok = ok && c >= 'A' && c <= 'Z';
  if (!ok) {
    Raise(err::kInvalidArgument, "--currency \"" + currency +
                                     "\": a currency is three capital letters (ISO 4217), "
                                     "for example EUR");
  }
}

}  // namespace

std::string ExportBook(const LedgerBook& book, const ExportOptions& options) {
  CheckCurrency(options.currency);
  if (options.decimals < 0 || options.decimals > 9) {
    Raise(err::kInvalidArgument,
          "--decimals " + std::to_string(options.decimals) + ": the number of decimals is 0 to 9");
  }
  switch (options.format) {
    case ExportFormat::kCsv:
      return WriteCsv(book, options);
    case ExportFormat::kQif:
      return WriteQif(book, options);
    case ExportFormat::kOfx:
      return WriteOfx(book, options);
    case ExportFormat::kLedger:
      return WriteLedgerJournal(book, options);
    case ExportFormat::kBeancount:
      return WriteBeancount(book, options);
  }
  return {};
}

}  // namespace bolvarin
