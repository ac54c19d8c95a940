// The localised texts of the configuration window and of the report, looked up by numeric id.
//
// A text is named by its French id (1 to 31) and loaded at that id plus the
// language offset: 0 for French, 100 for English. The languages on offer are
// not listed anywhere; the window finds them by probing ids 4, 104, 204, ...
// The texts themselves are written once, in texts.inc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bolvarin {

// The current language offset, for the whole process: 0 when the component
// is loaded, then set by the configuration window.
extern int16_t LangOffset;

// Ids of the texts, by their French number.
namespace text_id {
inline constexpr int kTitleWord = 1;
inline constexpr int kProgramFilter = 2;
inline constexpr int kActionFrame = 3;
inline constexpr int kLanguageName = 4;
inline constexpr int kSync = 5;
inline constexpr int kPcToHh = 6;
inline constexpr int kHhToPc = 7;
inline constexpr int kDoNothing = 8;
inline constexpr int kPreSyncLabel = 9;
inline constexpr int kPostSyncLabel = 10;
inline constexpr int kDeleteOlder = 11;
inline constexpr int kOk = 12;
inline constexpr int kCancel = 13;
inline constexpr int kBrowse = 14;
inline constexpr int kSettingsNotSaved = 15;
// The spending report's texts.
inline constexpr int kReportTitle = 16;
inline constexpr int kReportPeriod = 17;
inline constexpr int kReportIncome = 18;
inline constexpr int kReportSpending = 19;
inline constexpr int kReportNet = 20;
inline constexpr int kReportMonthlyTitle = 21;
inline constexpr int kReportMonth = 22;
inline constexpr int kReportCategoriesTitle = 23;
inline constexpr int kReportCategory = 24;
inline constexpr int kReportShare = 25;
inline constexpr int kReportChange = 26;
inline constexpr int kReportBalanceTitle = 27;
inline constexpr int kReportMonthEndBalance = 28;
inline constexpr int kReportUnnamedCategory = 29;
inline constexpr int kReportEmpty = 30;
inline constexpr int kReportTransactions = 31;
}  // namespace text_id

// The error number of a text that the table does not hold.
inline constexpr int32_t kTextNotFound = 326;

// A table of texts (UTF-8), searched from the front by id.
class StringTable {
 public:
  StringTable() = default;
  explicit StringTable(std::vector<std::pair<int, std::string>> entries)
      : entries_(std::move(entries)) {}

  // The text with this id, or nothing when the table has none.
  std::optional<std::string> Find(int id) const;
  // The text with this id; raises ConduitError kTextNotFound when missing.
  std::string Load(int id) const;

  void Add(int id, std::string text) { entries_.emplace_back(id, std::move(text)); }
  const std::vector<std::pair<int, std::string>>& entries() const { return entries_; }

 private:
  std::vector<std::pair<int, std::string>> entries_;
};

// The table compiled into the component.
const StringTable& BuiltInTexts();

}  // namespace bolvarin
