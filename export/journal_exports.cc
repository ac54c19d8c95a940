// Journals for the plain-text accounting programs. Each record is one
// transaction of two postings: its category's account takes the opposite of
// the amount, the balancing account (--account) the amount itself, so the
// balancing account's balance is the ledger's. A category maps to
// expenses:NAME for a negative amount and to income:NAME otherwise.
//
// The "ledger" journal is read alike by ledger and hledger: accounts and the
// commodity are declared, so `hledger check -s` passes. The beancount file
// opens every account on the first record's date.
#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "base/error.h"
#include "base/text.h"
#include "export/exports.h"

namespace bolvarin {

namespace {

const char* const kMarks[] = {"", "*", "*"};  // ledger: uncleared, cleared, reconciled

// A name usable as one component of a ledger account: ":" would make a
// sub-account and two blanks would end the name, so ":" becomes "-" and each
// run of blanks one blank.
std::string LedgerComponent(std::string_view name) {
  std::string out;
  for (char c : OneLine(name)) {
    if (c == ':') c = '-';
    if (c == ' ' || c == '\t') {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool IsIncome(const BookEntry& e) { return e.fields.amount >= 0; }

// `name` with each ":"-separated component made over by `clean`; the
// components it leaves empty are dropped.
std::string EachComponent(std::string_view name,
                          const std::function<std::string(std::string_view)>& clean) {
  std::string out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t colon = name.find(':', start);
    if (colon == std::string_view::npos) colon = name.size();
    const std::string part = clean(name.substr(start, colon - start));
    if (!part.empty()) out += (out.empty() ? "" : ":") + part;
    start = colon + 1;
  }
  return out;
}

// An account name of ledger: each ":"-separated component made usable.
std::string LedgerAccount(std::string_view name) { return EachComponent(name, LedgerComponent); }

std::string CategoryAccount(const BookEntry& e) {
  std::string name = LedgerComponent(e.category);
  if (name.empty()) name = "Category " + std::to_string(e.fields.category);
  return std::string(IsIncome(e) ? "income:" : "expenses:") + name;
}

// The tags both programs read: "; key: value", one a line.
void Tag(std::string& out, const char* key, std::string_view value) {
  if (!value.empty()) Append(out, {"    ; ", key, ": ", OneLine(value), "\n"});
}

// The account of each category and sign, named once for the whole export.
class AccountNames {
 public:
  explicit AccountNames(std::function<std::string(const BookEntry&)> name)
      : name_(std::move(name)) {}
  const std::string& Of(const BookEntry& e) {
    auto [it, added] = names_.try_emplace({e.fields.category, IsIncome(e)});
    if (added) it->second = name_(e);
    return it->second;
  }
  // Every account named so far and `balancing`, sorted, each once.
  std::set<std::string> All(const std::string& balancing) const {
    std::set<std::string> all{balancing};
    for (const auto& [key, name] : names_) all.insert(name);
    return all;
  }

 private:
  std::function<std::string(const BookEntry&)> name_;
  std::map<std::pair<int32_t, bool>, std::string> names_;
};

// A beancount string: quotes and backslashes escaped, one line.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : OneLine(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string WriteLedgerJournal(const LedgerBook& book, const ExportOptions& options) {
  const std::string balancing = LedgerAccount(options.account);
  if (balancing.empty()) Raise(err::kInvalidArgument, "--account: the account name is empty");
  AccountNames accounts(CategoryAccount);
  for (const BookEntry& e : book.entries) accounts.Of(e);
  std::string out =
      "; The ledger " + std::string(FileNameOf(book.dataFile)) + ", exported by syncbolvarin\n\n";
  for (const std::string& account : accounts.All(balancing)) out += "account " + account + "\n";
  out += "commodity " + options.currency + "\n\n";
  out.reserve(out.size() + 220 * book.entries.size());
  const std::string currency = " " + options.currency + "\n";
  for (const BookEntry& e : book.entries) {
    const LineFields& f = e.fields;
    const char* mark = kMarks[static_cast<int>(options.statusMarks[f.status])];
    Append(out, {IsoDate(f.date), *mark ? " " : "", mark});
    if (f.numberA) Append(out, {" (", std::to_string(*f.numberA), ")"});
    // hledger ends a description at ";": the payee keeps every other
    // character, and the note tag below holds the note as it is.
    std::string payee = OneLine(f.note);
    std::replace(payee.begin(), payee.end(), ';', ',');
    Append(out, {payee.empty() ? "" : " ", payee, "\n"});
    Tag(out, "id", std::to_string(e.id));
    if (payee != f.note) Tag(out, "note", f.note);
    Tag(out, "time", TimeText(f.date));
    Tag(out, "mode", e.mode);
    Tag(out, "type", e.type);
    Tag(out, "status", std::to_string(f.status));
    Append(out, {"    ", accounts.Of(e), "  ", AmountText(-int64_t{f.amount}, options.decimals),
                 currency, "    ", balancing, "  ", AmountText(f.amount, options.decimals),
                 currency, "\n"});
  }
  return out;
}

std::string BeancountAccountName(std::string_view name, std::string_view fallback) {
  return EachComponent(name, [fallback](std::string_view component) {
    std::string part;
    for (char c : component) {
      const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || (static_cast<unsigned char>(c) & 0x80);
      if (kept) {
        part += c;
      } else if (!part.empty() && part.back() != '-') {
        part += '-';
      }
    }
    while (!part.empty() && part.back() == '-') part.pop_back();
    if (part.empty()) part = fallback;
    if (part[0] >= 'a' && part[0] <= 'z') part[0] = static_cast<char>(part[0] - 'a' + 'A');
    return part;
  });
}

std::string WriteBeancount(const LedgerBook& book, const ExportOptions& options) {
  const std::string balancing = BeancountAccountName(options.account, "MaBolvarin");
  const std::string root = balancing.substr(0, balancing.find(':'));
  if (root != "Assets" && root != "Liabilities" && root != "Equity" && root != "Income" &&
      root != "Expenses") {
    Raise(err::kInvalidArgument, "--account \"" + options.account +
                                     "\": a beancount account starts with Assets, Liabilities, "
                                     "Equity, Income or Expenses");
  }
  AccountNames accounts([](const BookEntry& e) {
    const std::string fallback = "Category-" + std::to_string(e.fields.category);
    return std::string(IsIncome(e) ? "Income:" : "Expenses:") +
           BeancountAccountName(e.category, fallback);
  });
  for (const BookEntry& e : book.entries) accounts.Of(e);
  std::string out =
      "; The ledger " + std::string(FileNameOf(book.dataFile)) + ", exported by syncbolvarin\n\n";
  out += "option \"operating_currency\" " + Quoted(options.currency) + "\n\n";
  const std::string opened =
      IsoDate(book.entries.empty() ? DateTime{1904, 1, 1} : book.entries.front().fields.date);
  for (const std::string& account : accounts.All(balancing)) {
    out += opened + " open " + account + " " + options.currency + "\n";
  }
  out += "\n";
  out.reserve(out.size() + 240 * book.entries.size());
  const std::string currency = " " + options.currency + "\n";
  for (const BookEntry& e : book.entries) {
    const LineFields& f = e.fields;
    const bool cleared = options.statusMarks[f.status] != ClearMark::kUncleared;
    Append(out, {IsoDate(f.date), cleared ? " * " : " ! ", Quoted(f.note), "\n"});
    const auto meta = [&](const char* key, std::string_view value) {
      if (!value.empty()) Append(out, {"  ", key, ": ", Quoted(value), "\n"});
    };
    meta("id", std::to_string(e.id));
    meta("time", TimeText(f.date));
    meta("mode", e.mode);
    meta("type", e.type);
    meta("status", std::to_string(f.status));
    if (f.numberA) meta("number-a", std::to_string(*f.numberA));
    Append(out,
           {"  ", accounts.Of(e), "  ", AmountText(-int64_t{f.amount}, options.decimals), currency,
            "  ", balancing, "  ", AmountText(f.amount, options.decimals), currency, "\n"});
  }
  return out;
}

}  // namespace bolvarin
