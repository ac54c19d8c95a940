// The export and the report: each format's output for a sample ledger
// against golden files, through the host, and the pieces the formats share.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "base/text.h"
#include "export/exports.h"
#include "export/report.h"
#include "test_util.h"

namespace bolvarin {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The sample ledger (the bundled handheld's, plus lines with accents in
// Windows-1252, ";" and '"' in a note, a note that reads as a formula, lines
// the handheld has not numbered) in every format, byte for byte.
// SYNCBOLVARIN_UPDATE_GOLDEN=1 rewrites the golden files from the output.
TEST(Export, SampleLedgerMatchesItsGoldenFiles) {
  const std::string golden = std::string(BOLVARIN_SOURCE_DIR) + "/tests/golden/";
  const struct {
    std::vector<std::string> args;
    const char* file;
  } cases[] = {
      {{"export", "--format", "csv"}, "sample.csv"},
      {{"export", "--format", "csv", "--csv-profile", "iso"}, "sample-iso.csv"},
      {{"export", "--format", "qif", "--status", "cleared,cleared,uncleared,reconciled"},
       "sample.qif"},
      {{"export", "--format", "ofx"}, "sample.ofx"},
      {{"export", "--format", "ledger", "--decimals", "3", "--currency", "USD"}, "sample.ledger"},
      {{"export", "--format", "beancount", "--account", "liabilities:carte bleue"},
       "sample.beancount"},
      {{"report", "--language", "fr"}, "sample-fr.html"},
      {{"report", "--language", "en", "--from", "02/2026", "--to", "3/2026"}, "sample-en.html"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--output", dir.File(c.file), golden + "sample/MaBolvarin.txt"});
    const testing::HostResult run = testing::RunHost(args);
    ASSERT_EQ(run.status, 0) << run.err;
    if (std::getenv("SYNCBOLVARIN_UPDATE_GOLDEN"))
      WriteFile(golden + c.file, ReadFile(dir.File(c.file)));
    EXPECT_EQ(ReadFile(dir.File(c.file)), ReadFile(golden + c.file));
  }
}

TEST(Export, LinesAndSideFilesThatCannotBeReadAreNamedAndLeftOut) {
  TempDir dir;
  WriteFile(dir.File("MaBolvarin.txt"),
            "1;0; 64;01/01/2026;-100;0;;;;;;;kept\r\n\r\n2;0; 64;31/02/2026;-100;0;;;;;;;bad\r\n");
  WriteFile(dir.File("categories.txt"), "no commas here\r\n");
  const LedgerBook book = ReadLedgerBook(dir.File("MaBolvarin.txt"));
  ASSERT_EQ(book.entries.size(), 1u);
  EXPECT_EQ(book.entries[0].fields.note, "kept");
  ASSERT_EQ(book.problems.size(), 2u);
  EXPECT_PRED2(testing::Contains, book.problems[0], "categories.txt, line 1: ");
  EXPECT_PRED2(testing::Contains, book.problems[1], "MaBolvarin.txt, line 3: Field 3 (date)");
  // The export and the report must never rewrite what they read.
  EXPECT_EQ(ReadFile(dir.File("categories.txt")), "no commas here\r\n");
  EXPECT_THROW(ReadLedgerBook(dir.File("missing.txt")), ConduitError);
  ExportOptions ofx;
  ofx.format = ExportFormat::kOfx;
  ofx.currency = "eur";  // every format refuses what is no ISO 4217 code
  EXPECT_THROW(ExportBook(book, ofx), ConduitError);
}

TEST(Export, SharedPieces) {
  const struct {
    int64_t amount;
    int decimals;
    char point;
    const char* text;
  } amounts[] = {{INT32_MIN, 2, '.', "-21474836.48"},
                 {INT32_MAX, 9, ',', "2,147483647"},
                 {-5, 2, ',', "-0,05"},
                 {720, 0, '.', "720"},
                 {-1, 9, '.', "-0.000000001"}};
  for (const auto& a : amounts) EXPECT_EQ(AmountText(a.amount, a.decimals, a.point), a.text);

  const struct {
    const char* name;
    const char* beancount;
  } accounts[] = {{"café, bar", "Café-bar"},
                  {"assets:ma  bolvarin", "Assets:Ma-bolvarin"},
                  {"-x-:", "X:F"},
                  {"été", "été"},
                  {"a::b", "A:F:B"}};
  for (const auto& a : accounts) EXPECT_EQ(BeancountAccountName(a.name, "F"), a.beancount);

  EXPECT_EQ(ParseStatusMarks("reconciled,cleared,uncleared,cleared"),
            (StatusMarks{ClearMark::kReconciled, ClearMark::kCleared, ClearMark::kUncleared,
                         ClearMark::kCleared}));
  for (const char* bad : {"cleared,cleared,cleared", "cleared,cleared,cleared,cleared,cleared",
                          "cleared,cleared,cleared,Cleared", ""}) {
    EXPECT_FALSE(ParseStatusMarks(bad)) << bad;
  }
  EXPECT_EQ(ParseMonth("1/2026"), 2026 * 12);
  EXPECT_EQ(ParseMonth("12/2026"), 2026 * 12 + 11);
  for (const char* bad : {"13/2026", "0/2026", "01/26", "ab/2026", "1/20266", "/2026"}) {
    EXPECT_FALSE(ParseMonth(bad)) << bad;
  }
  EXPECT_EQ(Windows1252ToUtf8("\x80\x81\xE9\xFF"
                              "A"),
            "€\u0081éÿA");
  EXPECT_EQ(FirstCharacters("éèà", 2), "éè");
}

}  // namespace
}  // namespace bolvarin
