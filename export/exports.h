// The ledger written for finance tools: CSV for spreadsheets, QIF, OFX 1.02,
// and journals for the plain-text accounting programs (ledger, beancount).
// docs/exports.md has each format's mapping as one table.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "export/ledger_book.h"

namespace bolvarin {

enum class ExportFormat { kCsv, kQif, kOfx, kLedger, kBeancount };
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);

// What a status (0 to 3, the two status bits of a record) stands for in a
// finance tool. The ledger's own program gives the bits their meaning, so
// the exports carry the number as it is and map it to the target's mark.
enum class ClearMark { kUncleared, kCleared, kReconciled };
using StatusMarks = std::array<ClearMark, 4>;
inline constexpr StatusMarks kDefaultStatusMarks = {ClearMark::kUncleared, ClearMark::kCleared,
                                                    ClearMark::kReconciled, ClearMark::kReconciled};
// "uncleared,cleared,reconciled,reconciled": the marks of statuses 0 to 3,
// each word "uncleared", "cleared" or "reconciled". Nothing when malformed.
std::optional<StatusMarks> ParseStatusMarks(std::string_view text);

struct ExportOptions {
  ExportFormat format = ExportFormat::kCsv;
  int decimals = 2;  // the amount counts 10^-decimals of the currency unit
  std::string currency = "EUR";
  std::string account = "assets:MaBolvarin";  // the balancing account of the journals
  bool csvIso = false;                        // CSV profile "iso" instead of "fr"
  StatusMarks statusMarks = kDefaultStatusMarks;
};

// The whole export, UTF-8. Raises an error naming the option when an option
// cannot be written in the format (a currency or account name it refuses).
std::string ExportBook(const LedgerBook& book, const ExportOptions& options);

// ---- Shared by the writers -------------------------------------------------

// The amount in units of the currency: "-720.00" for -72000 with two
// decimals, `point` between the whole part and the decimals.
std::string AmountText(int64_t amount, int decimals, char point = '.');
// Appends every part to `out`.
inline void Append(std::string& out, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) out += part;
}
// A note on one line: each LF becomes a blank.
std::string OneLine(std::string_view text);
// Text for HTML or SGML: "&", "<", ">" and, with `quotes`, '"' as entities.
std::string MarkupText(std::string_view text, bool quotes);
// The first `count` characters of UTF-8 text.
std::string FirstCharacters(std::string_view text, size_t count);
// `value` (not negative) in decimal, zero-padded to `width` digits.
std::string Digits(int value, int width);
// "yyyy-mm-dd".
std::string IsoDate(const DateTime& date);
// "hh:mm", or "" for a record without a time of day.
std::string TimeText(const DateTime& date);

std::string WriteCsv(const LedgerBook& book, const ExportOptions& options);
std::string WriteQif(const LedgerBook& book, const ExportOptions& options);
std::string WriteOfx(const LedgerBook& book, const ExportOptions& options);
std::string WriteLedgerJournal(const LedgerBook& book, const ExportOptions& options);
std::string WriteBeancount(const LedgerBook& book, const ExportOptions& options);

// A name made an account name of beancount: each ":"-separated component
// keeps letters (any non-ASCII character counts as one), digits and "-";
// other characters become "-", runs of "-" one, none at either end, and a
// lower-case first letter is made upper-case. An empty component becomes
// `fallback`.
std::string BeancountAccountName(std::string_view name, std::string_view fallback);

}  // namespace bolvarin
