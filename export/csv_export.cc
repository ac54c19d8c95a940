// CSV (RFC 4180) for spreadsheets. Profile "fr": UTF-8 with a byte order
// mark, ";" between cells, a decimal comma, dd/mm/yyyy. Profile "iso": ","
// between cells, a decimal point, yyyy-mm-dd, no mark. Lines end with CR LF.
#include <cstdio>

#include "export/exports.h"

namespace bolvarin {

namespace {

struct CsvStyle {
  char separator;
  char point;
  bool iso;
};

std::string CsvDate(const DateTime& date, const CsvStyle& style) {
  if (style.iso) return IsoDate(date);
  return Digits(date.day, 2) + "/" + Digits(date.month, 2) + "/" + Digits(date.year, 4);
}

// A cell, quoted when it holds the separator, a quote or a line break.
void Cell(std::string& out, std::string_view text, const CsvStyle& style) {
  if (text.find_first_of(std::string{style.separator, '"', '\r', '\n'}) == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// A text cell: one that a spreadsheet would run as a formula (it starts with
// "=", "+", "-" or "@") gets a leading "'", so it stays text.
void TextCell(std::string& out, std::string_view text, const CsvStyle& style) {
  if (!text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos) {
    Cell(out, "'" + std::string(text), style);
  } else {
    Cell(out, text, style);
  }
}

std::string Optional(const std::optional<int32_t>& number) {
  return number ? std::to_string(*number) : "";
}

}  // namespace

std::string WriteCsv(const LedgerBook& book, const ExportOptions& options) {
  const CsvStyle style = options.csvIso ? CsvStyle{',', '.', true} : CsvStyle{';', ',', false};
  static constexpr const char* kHeader[] = {
      "id",       "date",        "time", "amount",   "category", "mode", "type",
      "number A", "second date", "link", "number B", "status",   "note"};
  std::string out = options.csvIso ? "" : "\xEF\xBB\xBF";
  out.reserve(out.size() + 96 * (book.entries.size() + 1));
  for (const char* name : kHeader) {
    out += name;
    out += name == kHeader[std::size(kHeader) - 1] ? std::string("\r\n")
                                                   : std::string(1, style.separator);
  }
  for (const BookEntry& e : book.entries) {
    const LineFields& f = e.fields;
    const auto sep = [&] { out += style.separator; };
    out += std::to_string(e.id);
    sep();
    out += CsvDate(f.date, style);
    sep();
    out += TimeText(f.date);
    sep();
    out += AmountText(f.amount, options.decimals, style.point);
    sep();
    TextCell(out, e.category, style);
    sep();
    TextCell(out, e.mode, style);
    sep();
    TextCell(out, e.type, style);
    sep();
    out += Optional(f.numberA);
    sep();
    if (f.secondDate) out += CsvDate(*f.secondDate, style);
    sep();
    if (f.link) {
      char link[4];
      std::snprintf(link, sizeof link, "%X", static_cast<unsigned>(*f.link));
      out += link;
    }
    sep();
    out += Optional(f.numberB);
    sep();
    out += std::to_string(f.status);
    sep();
    TextCell(out, f.note, style);
    out += "\r\n";
  }
  return out;
}

}  // namespace bolvarin
