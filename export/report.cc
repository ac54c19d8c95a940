#include "export/report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "export/exports.h"

namespace bolvarin {

namespace {

MonthIndex MonthOf(const DateTime& date) { return date.year * 12 + date.month - 1; }

std::string MonthText(MonthIndex month) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%04d", month % 12 + 1, month / 12);
  return text;
}

std::string Escaped(std::string_view text) { return MarkupText(text, true); }

struct CategoryTotals {
  std::string name;
  int64_t spending = 0;  // over the period, as a positive number
  int64_t lastMonth = 0, monthBefore = 0;
};

// Everything the page shows, gathered in one pass over the records.
struct Figures {
  MonthIndex first = 0, last = -1;
  int64_t opening = 0;  // the balance before the period
  int64_t count = 0;
  std::vector<int64_t> income, spending;  // per month of the period
  std::map<int32_t, CategoryTotals> categories;
  int64_t Income() const { return Sum(income); }
  int64_t Spending() const { return Sum(spending); }
  static int64_t Sum(const std::vector<int64_t>& v) {
    int64_t total = 0;
    for (int64_t x : v) total += x;
    return total;
  }
};

Figures Gather(const LedgerBook& book, const ReportOptions& options, const std::string& unnamed) {
  Figures f;
  if (book.entries.empty() && !(options.from && options.to)) return f;
  // Without entries both ends were given; otherwise an end not given is
  // the first or the last entry's month.
  f.first = options.from ? *options.from : MonthOf(book.entries.front().fields.date);
  f.last = options.to ? *options.to : MonthOf(book.entries.back().fields.date);
  if (f.last < f.first) return f;
  const size_t months = static_cast<size_t>(f.last - f.first + 1);
  f.income.assign(months, 0);
  f.spending.assign(months, 0);
  for (const BookEntry& e : book.entries) {
    const MonthIndex month = MonthOf(e.fields.date);
    const int64_t amount = e.fields.amount;
    if (month < f.first) f.opening += amount;
    if (month > f.last) continue;
    const bool inPeriod = month >= f.first;
    if (inPeriod) {
      ++f.count;
      if (amount >= 0) {
        f.income[month - f.first] += amount;
      } else {
        f.spending[month - f.first] -= amount;
      }
    }
    // The month before the period's last one counts for the change column,
    // even when it lies before the period.
    if (amount >= 0 || !(inPeriod || month == f.last - 1)) continue;
    CategoryTotals& c = f.categories[e.fields.category];
    if (c.name.empty()) {
      c.name = e.category.empty() ? unnamed + " " + std::to_string(e.fields.category)
                                  : std::string(e.category);
    }
    if (inPeriod) c.spending -= amount;
    if (month == f.last) c.lastMonth -= amount;
    if (month == f.last - 1) c.monthBefore -= amount;
  }
  // Categories with spending before the period only were met for the
  // change column alone.
  std::erase_if(f.categories, [](const auto& c) { return c.second.spending == 0; });
  return f;
}

class Page {
 public:
  Page(const ReportOptions& options, const StringTable& texts)
      : options_(options), texts_(texts), point_(options.languageOffset == 0 ? ',' : '.') {}

  std::string Text(int id) const { return texts_.Load(id + options_.languageOffset); }
  // An amount as the page shows it, and as its data-value holds it.
  std::string Money(int64_t amount) const {
    return AmountText(amount, options_.decimals, point_) + " " + options_.currency;
  }
  std::string Value(int64_t amount) const { return AmountText(amount, options_.decimals); }
  // A table cell holding an amount, with the amount in data-value; `id`
  // names the cell when not empty. A change gets its sign shown, "+"
  // included.
  std::string MoneyCell(int64_t amount, const char* cls = "", bool signedChange = false,
                        const char* id = "") const {
    return std::string("<td") + (*id ? " id=\"" + std::string(id) + "\"" : "") + " class=\"num" +
           (*cls ? " " : "") + cls + "\" data-value=\"" + Value(amount) + "\">" +
           (signedChange && amount > 0 ? "+" : "") + Money(amount) + "</td>";
  }
  std::string Percent(int64_t part, int64_t whole) const {
    const int64_t tenths = whole == 0 ? 0 : (part * 1000 + whole / 2) / whole;
    return std::to_string(tenths / 10) + point_ + std::to_string(tenths % 10) + " %";
  }

 private:
  const ReportOptions& options_;
  const StringTable& texts_;
  char point_;
};

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em auto;max-width:60em;color:#222}"
    "h1{font-size:1.6em}h2{font-size:1.2em;margin-top:2em;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:1em 0}th,td{padding:.25em .8em;border:1px solid #ddd}"
    "th{background:#f4f4f4;text-align:left}td.num{text-align:right;white-space:nowrap}"
    ".in{color:#2e7d32}.out{color:#c62828}svg{max-width:100%;height:auto}"
    "svg text{font-size:11px;fill:#444}"
    "@media print{body{margin:0;max-width:none}h2{break-after:avoid}table,svg{break-inside:avoid}}";

constexpr int kChartHeight = 200;
constexpr int kLeft = 10, kTop = 24;
constexpr int kChartWidth = 660;

// The width given to one month: the charts fill kChartWidth until months
// are too many, then each month keeps 28 pixels.
int MonthSlot(size_t months) {
  return std::max(28, kChartWidth / static_cast<int>(std::max<size_t>(months, 1)));
}

std::string MonthLabel(MonthIndex month, int x, int y) {
  const std::string text = MonthText(month);
  return "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
         "\" text-anchor=\"middle\">" + text.substr(0, 3) + text.substr(5) + "</text>";
}

// A coloured square and its name, at the top of a chart.
std::string LegendItem(int x, const char* color, const std::string& name) {
  return "<rect x=\"" + std::to_string(x) + "\" y=\"4\" width=\"10\" height=\"10\" fill=\"" +
         color + "\"/><text x=\"" + std::to_string(x + 14) + "\" y=\"13\">" + name + "</text>";
}

// A bar chart of income against spending, two bars a month.
std::string MonthlyChart(const Figures& f, const Page& page) {
  const int months = static_cast<int>(f.income.size());
  const int slot = MonthSlot(f.income.size());
  const int bar = std::clamp(slot * 35 / 100, 8, 40);
  const int width = kLeft * 2 + months * slot;
  int64_t top = 1;
  for (int i = 0; i < months; ++i) top = std::max({top, f.income[i], f.spending[i]});
  const std::string base = std::to_string(kTop + kChartHeight);
  std::string svg = "<svg role=\"img\" viewBox=\"0 0 " + std::to_string(width) + " " +
                    std::to_string(kTop + kChartHeight + 24) + "\" width=\"" +
                    std::to_string(width) + "\">" +
                    LegendItem(kLeft, "#2e7d32", page.Text(text_id::kReportIncome)) +
                    LegendItem(kLeft + 110, "#c62828", page.Text(text_id::kReportSpending)) +
                    "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + base + "\" x2=\"" +
                    std::to_string(width - kLeft) + "\" y2=\"" + base + "\" stroke=\"#999\"/>";
  for (int i = 0; i < months; ++i) {
    const int middle = kLeft + i * slot + slot / 2;
    const auto column = [&](int64_t value, int x, const char* color, int label) {
      const int64_t h = value * kChartHeight / top;
      svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" +
             std::to_string(kTop + kChartHeight - h) + "\" width=\"" + std::to_string(bar) +
             "\" height=\"" + std::to_string(h) + "\" fill=\"" + color + "\"><title>" +
             page.Text(label) + " " + MonthText(f.first + i) + ": " + page.Money(value) +
             "</title></rect>";
    };
    column(f.income[i], middle - bar, "#2e7d32", text_id::kReportIncome);
    column(f.spending[i], middle, "#c62828", text_id::kReportSpending);
    const MonthIndex month = f.first + i;
    if (months <= 24 || month % 12 == 0) svg += MonthLabel(month, middle, kTop + kChartHeight + 16);
  }
  return svg + "</svg>";
}

// Horizontal bars of each category's spending.
std::string CategoryChart(const std::vector<const CategoryTotals*>& rows, int64_t total,
                          const Page& page) {
  const int height = static_cast<int>(rows.size()) * 22 + 10;
  std::string svg =
      "<svg role=\"img\" viewBox=\"0 0 600 " + std::to_string(height) + "\" width=\"600\">";
  for (size_t i = 0; i < rows.size(); ++i) {
    const int y = 5 + static_cast<int>(i) * 22;
    const int64_t w = total == 0 ? 0 : rows[i]->spending * 360 / total;
    svg += "<text x=\"0\" y=\"" + std::to_string(y + 14) + "\">" +
           Escaped(FirstCharacters(rows[i]->name, 22)) + "</text><rect x=\"160\" y=\"" +
           std::to_string(y) + "\" width=\"" + std::to_string(w) +
           "\" height=\"16\" fill=\"#c62828\"><title>" + Escaped(rows[i]->name) + ": " +
           page.Money(rows[i]->spending) + "</title></rect><text x=\"" + std::to_string(165 + w) +
           "\" y=\"" + std::to_string(y + 14) + "\">" + page.Percent(rows[i]->spending, total) +
           "</text>";
  }
  return svg + "</svg>";
}

// The balance at each month's end as a line, with the zero line dashed.
std::string BalanceChart(const std::vector<int64_t>& balances, const Page& page, MonthIndex first) {
  const int months = static_cast<int>(balances.size());
  const int slot = MonthSlot(balances.size());
  const int width = kLeft * 2 + months * slot;
  int64_t low = 0, high = 1;
  for (int64_t b : balances) {
    low = std::min(low, b);
    high = std::max(high, b);
  }
  const auto y = [&](int64_t value) {
    return std::to_string(kTop + (high - value) * kChartHeight / (high - low));
  };
  std::string svg = "<svg role=\"img\" viewBox=\"0 0 " + std::to_string(width) + " " +
                    std::to_string(kTop + kChartHeight + 24) + "\" width=\"" +
                    std::to_string(width) + "\">" +
                    LegendItem(kLeft, "#1565c0", page.Text(text_id::kReportMonthEndBalance)) +
                    "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + y(0) + "\" x2=\"" +
                    std::to_string(width - kLeft) + "\" y2=\"" + y(0) +
                    "\" stroke=\"#999\" stroke-dasharray=\"4 3\"/><polyline fill=\"none\" "
                    "stroke=\"#1565c0\" stroke-width=\"2\" points=\"";
  std::string dots;
  for (int i = 0; i < months; ++i) {
    const int middle = kLeft + i * slot + slot / 2;
    const std::string x = std::to_string(middle);
    svg += (i ? " " : "") + x + "," + y(balances[i]);
    dots += "<circle cx=\"" + x + "\" cy=\"" + y(balances[i]) +
            "\" r=\"3\" fill=\"#1565c0\"><title>" + MonthText(first + i) + ": " +
            page.Money(balances[i]) + "</title></circle>";
    if (months <= 24 || (first + i) % 12 == 0) {
      dots += MonthLabel(first + i, middle, kTop + kChartHeight + 16);
    }
  }
  return svg + "\"/>" + dots + "</svg>";
}

}  // namespace

std::optional<MonthIndex> ParseMonth(std::string_view text) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash > 2 || text.size() - slash != 5) {
    return std::nullopt;
  }
  int month = 0, year = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == slash) continue;
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    (i < slash ? month : year) = (i < slash ? month : year) * 10 + (text[i] - '0');
  }
  if (month < 1 || month > 12) return std::nullopt;
  return year * 12 + month - 1;
}

std::string BuildReport(const LedgerBook& book, const ReportOptions& options,
                        const StringTable& texts) {
  const Page page(options, texts);
  const Figures f = Gather(book, options, page.Text(text_id::kReportUnnamedCategory));
  const std::string title = page.Text(text_id::kReportTitle);
  std::string html = "<!DOCTYPE html>\n<html lang=\"";
  html += options.languageOffset == 0 ? "fr" : "en";
  html += "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + Escaped(title) + "</title>\n<style>" +
          kStyle + "</style>\n</head>\n<body>\n<h1>" + Escaped(title) + "</h1>\n";
  const std::string_view source = FileNameOf(book.dataFile);
  html += "<p>" + Escaped(source) + " &middot; " + page.Text(text_id::kReportPeriod) + " " +
          (f.income.empty() ? "&ndash;" : MonthText(f.first) + " &ndash; " + MonthText(f.last)) +
          "</p>\n";
  if (f.count == 0) {
    html += "<p id=\"empty\">" + page.Text(text_id::kReportEmpty) + "</p>\n";
  }

  // The summary.
  html += "<table id=\"summary\">\n<tr><th>" + page.Text(text_id::kReportTransactions) +
          "</th><td class=\"num\" id=\"count\" data-value=\"" + std::to_string(f.count) + "\">" +
          std::to_string(f.count) + "</td></tr>\n";
  const std::pair<int, int64_t> summary[] = {{text_id::kReportIncome, f.Income()},
                                             {text_id::kReportSpending, f.Spending()},
                                             {text_id::kReportNet, f.Income() - f.Spending()}};
  const char* const summaryIds[] = {"income", "spending", "net"};
  for (size_t i = 0; i < std::size(summary); ++i) {
    html += "<tr><th>" + page.Text(summary[i].first) + "</th>" +
            page.MoneyCell(summary[i].second, "", false, summaryIds[i]) + "</tr>\n";
  }
  html += "</table>\n";
  if (f.income.empty()) return html + "</body>\n</html>\n";

  // Income against spending, month by month.
  html += "<h2>" + page.Text(text_id::kReportMonthlyTitle) + "</h2>\n" + MonthlyChart(f, page) +
          "\n<table id=\"months\">\n<tr><th>" + page.Text(text_id::kReportMonth) + "</th><th>" +
          page.Text(text_id::kReportIncome) + "</th><th>" + page.Text(text_id::kReportSpending) +
          "</th><th>" + page.Text(text_id::kReportNet) + "</th></tr>\n";
  std::vector<int64_t> balances;
  int64_t balance = f.opening;
  for (size_t i = 0; i < f.income.size(); ++i) {
    balance += f.income[i] - f.spending[i];
    balances.push_back(balance);
    html += "<tr data-month=\"" + MonthText(f.first + static_cast<int>(i)) + "\"><td>" +
            MonthText(f.first + static_cast<int>(i)) + "</td>" + page.MoneyCell(f.income[i], "in") +
            page.MoneyCell(f.spending[i], "out") + page.MoneyCell(f.income[i] - f.spending[i]) +
            "</tr>\n";
  }
  html += "</table>\n";

  // Spending per category, the largest first.
  std::vector<const CategoryTotals*> rows;
  for (const auto& [index, totals] : f.categories) rows.push_back(&totals);
  std::stable_sort(rows.begin(), rows.end(), [](const CategoryTotals* a, const CategoryTotals* b) {
    return a->spending > b->spending;
  });
  html += "<h2>" + page.Text(text_id::kReportCategoriesTitle) + "</h2>\n" +
          CategoryChart(rows, f.Spending(), page) + "\n<table id=\"categories\">\n<tr><th>" +
          page.Text(text_id::kReportCategory) + "</th><th>" + page.Text(text_id::kReportSpending) +
          "</th><th>" + page.Text(text_id::kReportShare) + "</th><th>" +
          page.Text(text_id::kReportChange) + " (" + MonthText(f.last) + ")</th></tr>\n";
  for (const CategoryTotals* c : rows) {
    const std::string changeCell = page.MoneyCell(c->lastMonth - c->monthBefore, "", true);
    html += "<tr data-category=\"" + Escaped(c->name) + "\"><td>" + Escaped(c->name) + "</td>" +
            page.MoneyCell(c->spending, "out") + "<td class=\"num\">" +
            page.Percent(c->spending, f.Spending()) + "</td>" + changeCell + "</tr>\n";
  }
  html += "</table>\n";

  // The running balance.
  html += "<h2>" + page.Text(text_id::kReportBalanceTitle) + "</h2>\n" +
          BalanceChart(balances, page, f.first) + "\n<table id=\"balance\">\n<tr><th>" +
          page.Text(text_id::kReportMonth) + "</th><th>" +
          page.Text(text_id::kReportMonthEndBalance) + "</th></tr>\n";
  for (size_t i = 0; i < balances.size(); ++i) {
    html += "<tr><td>" + MonthText(f.first + static_cast<int>(i)) + "</td>" +
            page.MoneyCell(balances[i]) + "</tr>\n";
  }
  return html + "</table>\n</body>\n</html>\n";
}

}  // namespace bolvarin
