// The spending report: one self-contained HTML page (no script, no other
// file; the charts are inline SVG) with, for a period of whole months, the
// income, spending and net, income against spending month by month, spending
// per category with each one's share and its change from the previous
// month, and the running balance at each month's end. Every charted number
// is also in a table. The page's size depends on the number of months and
// categories, never of records, and the same ledger always gives the same
// bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/texts.h"
#include "export/ledger_book.h"

namespace bolvarin {

// A month as the count year * 12 + (month - 1).
using MonthIndex = int;
// "MM/YYYY" (one or two digits for the month); nothing when malformed.
std::optional<MonthIndex> ParseMonth(std::string_view text);

struct ReportOptions {
  std::optional<MonthIndex> from, to;  // the ledger's first and last month when absent
  int languageOffset = 0;              // 0 French, 100 English (the "langue" setting)
  int decimals = 2;
  std::string currency = "EUR";
};

std::string BuildReport(const LedgerBook& book, const ReportOptions& options,
                        const StringTable& texts = BuiltInTexts());

}  // namespace bolvarin
