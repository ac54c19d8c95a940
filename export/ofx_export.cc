// OFX 1.02: the SGML headers, then one bank statement whose transactions are
// the records. The text is UTF-8 (ENCODING:UTF-8, CHARSET:NONE). FITID is
// the record's identifier, which never changes, so an importer skips what it
// already has. DTSERVER is the last record's date, so the same ledger always
// gives the same file.
#include "base/text.h"
#include "export/exports.h"

namespace bolvarin {

namespace {

constexpr size_t kNameLength = 32;

std::string OfxDate(const DateTime& date) {
  return Digits(date.year, 4) + Digits(date.month, 2) + Digits(date.day, 2) + Digits(date.hour, 2) +
         Digits(date.minute, 2) + Digits(date.second, 2);
}

// SGML text: "&", "<" and ">" as entities, one line.
std::string Escaped(std::string_view text) { return MarkupText(OneLine(text), false); }

void Element(std::string& out, const char* tag, std::string_view value) {
  out += '<';
  out += tag;
  out += '>';
  out += value;
  out += "\r\n";
}

void Status(std::string& out) { out += "<STATUS>\r\n<CODE>0\r\n<SEVERITY>INFO\r\n</STATUS>\r\n"; }

// The data file's name without its folder and extension, at most 22
// characters (the longest account identifier OFX allows).
std::string AccountIdOf(const std::string& dataFile) {
  std::string name(FileNameOf(dataFile));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return FirstCharacters(name.empty() ? "MaBolvarin" : name, 22);
}

}  // namespace

std::string WriteOfx(const LedgerBook& book, const ExportOptions& options) {
  const DateTime first = book.entries.empty() ? DateTime{} : book.entries.front().fields.date;
  const DateTime last = book.entries.empty() ? DateTime{} : book.entries.back().fields.date;
  std::string out =
      "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:UTF-8\r\n"
      "CHARSET:NONE\r\nCOMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n";
  out.reserve(out.size() + 200 * book.entries.size() + 600);
  out += "<OFX>\r\n<SIGNONMSGSRSV1>\r\n<SONRS>\r\n";
  Status(out);
  Element(out, "DTSERVER", OfxDate(last));
  Element(out, "LANGUAGE", "ENG");
  out += "</SONRS>\r\n</SIGNONMSGSRSV1>\r\n<BANKMSGSRSV1>\r\n<STMTTRNRS>\r\n";
  Element(out, "TRNUID", "0");
  Status(out);
  out += "<STMTRS>\r\n";
  Element(out, "CURDEF", options.currency);
  out += "<BANKACCTFROM>\r\n";
  Element(out, "BANKID", "BOLV");
  Element(out, "ACCTID", Escaped(AccountIdOf(book.dataFile)));
  Element(out, "ACCTTYPE", "CHECKING");
  out += "</BANKACCTFROM>\r\n<BANKTRANLIST>\r\n";
  Element(out, "DTSTART", OfxDate(first));
  Element(out, "DTEND", OfxDate(last));
  int64_t balance = 0;
  for (const BookEntry& e : book.entries) {
    const LineFields& f = e.fields;
    balance += f.amount;
    out += "<STMTTRN>\r\n";
    Element(out, "TRNTYPE", f.amount < 0 ? "DEBIT" : "CREDIT");
    Element(out, "DTPOSTED", OfxDate(f.date));
    Element(out, "TRNAMT", AmountText(f.amount, options.decimals));
    // A line the handheld has not numbered yet has no identifier to give:
    // its line number stands in until it has one.
    Element(out, "FITID", e.id != 0 ? std::to_string(e.id) : "0-" + std::to_string(e.line));
    if (f.numberA) Element(out, "CHECKNUM", std::to_string(*f.numberA));
    if (!f.note.empty()) Element(out, "NAME", Escaped(FirstCharacters(f.note, kNameLength)));
    if (!e.category.empty()) Element(out, "MEMO", Escaped(e.category));
    out += "</STMTTRN>\r\n";
  }
  out += "</BANKTRANLIST>\r\n<LEDGERBAL>\r\n";
  Element(out, "BALAMT", AmountText(balance, options.decimals));
  Element(out, "DTASOF", OfxDate(last));
  out += "</LEDGERBAL>\r\n</STMTRS>\r\n</STMTTRNRS>\r\n</BANKMSGSRSV1>\r\n</OFX>\r\n";
  return out;
}

}  // namespace bolvarin
