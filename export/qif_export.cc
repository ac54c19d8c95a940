// QIF, a bank account's register: "!Type:Bank", then one entry per record,
// each line a code letter and its value, "^" after each entry. Dates are
// mm/dd/yyyy, the form importers assume unless told otherwise.
#include "export/exports.h"

namespace bolvarin {

std::string WriteQif(const LedgerBook& book, const ExportOptions& options) {
  std::string out = "!Type:Bank\r\n";
  out.reserve(out.size() + 80 * book.entries.size());
  for (const BookEntry& e : book.entries) {
    const LineFields& f = e.fields;
    out +=
        "D" + Digits(f.date.month, 2) + "/" + Digits(f.date.day, 2) + "/" + Digits(f.date.year, 4);
    out += "\r\nT";
    out += AmountText(f.amount, options.decimals);
    out += "\r\n";
    if (f.numberA) out += "N" + std::to_string(*f.numberA) + "\r\n";
    if (!f.note.empty()) out += "P" + OneLine(f.note) + "\r\n";
    std::string memo;
    if (!e.mode.empty()) Append(memo, {"mode: ", e.mode});
    if (!e.type.empty()) Append(memo, {memo.empty() ? "" : ", ", "type: ", e.type});
    if (!memo.empty()) out += "M" + memo + "\r\n";
    if (!e.category.empty()) Append(out, {"L", e.category, "\r\n"});
    switch (options.statusMarks[f.status]) {
      case ClearMark::kUncleared:
        break;
      case ClearMark::kCleared:
        out += "C*\r\n";
        break;
      case ClearMark::kReconciled:
        out += "CX\r\n";
        break;
    }
    out += "^\r\n";
  }
  return out;
}

}  // namespace bolvarin
