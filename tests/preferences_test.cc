// The preference block, the three list files, and their exchange with the
// handheld in the three kinds of run that touch them.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "base/error.h"
#include "base/host_events.h"
#include "base/mod_public.h"
#include "lists/preference_lists.h"
#include "os/files.h"
#include "tests/lists_test_support.h"
#include "tests/test_trash.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::kHeader;
using lists_testing::Lines;
using lists_testing::Numbered;
using lists_testing::Texts;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr char kNone[] = "<none>";  // a file that does not exist

// The three working lists, each entry followed by CR LF, each list by "|".
std::string Parsed() {
  std::string out;
  for (const auto* list : {&ModeList, &TypeList, &DescList}) {
    for (const auto& entry : *list) out += entry.Texte + "\r\n";
    out += "|";
  }
  return out;
}

// A list file found without regard to the case of its name, or kNone.
std::string ListFile(const std::string& folder, const char* name) {
  std::string path = FindFileNoCase(folder, name);
  return path.empty() ? kNone : ReadFile(path);
}

TEST(PreferencesBlock, ParsesTheThreeLists) {
  const std::pair<std::string, std::string> cases[] = {
      {kHeader + std::string(4, '\0'), "|||"},
      {kHeader + std::string("A\0B\0\0T\0\0D\0\0", 12), "A\r\nB\r\n|T\r\n|D\r\n|"},  // no final 0
      {Block({"M"}, Numbered("T", 63), {"D"}), "M\r\n|" + Lines(Numbered("T", 63)) + "|D\r\n|"},
      {kHeader.substr(0, 10), "|||"},
      {kHeader + std::string("A\0", 2), "A\r\n|||"},
      {kHeader + std::string("\0\0\0junk", 7), "|||"},
      {kHeader + std::string("\xE9t\xE9\0\0\0\0", 7), "\xE9t\xE9\r\n|||"},
  };
  int yields = 0;
  auto previous = SetPendingMessagesHandler([&] { ++yields; });
  for (const auto& [block, lists] : cases) {
    ParsePreferenceBlock(block, false);
    EXPECT_EQ(Parsed(), lists);
  }
  EXPECT_EQ(yields, 0);  // only when asked, then after each entry and each list end
  ParsePreferenceBlock(Block({"A", "B"}, {"T"}, {}), true);
  EXPECT_EQ(yields, 6);
  SetPendingMessagesHandler(previous);
}

TEST(PreferencesFiles, ReadsAtMostTheLimitSkippingEmptyLines) {
  TempDir dir;
  auto read = [&](const PreferenceFile& file) {
    Texts entries;
    return ReadPreferenceFile(dir.path(), file, entries) ? entries : Texts{kNone};
  };
  EXPECT_EQ(read(kModeFile), Texts{kNone});
  WriteFile(dir.File("mode.txt"), Lines(Numbered("L", 35)));
  WriteFile(dir.File("TYPE.txt"), Lines(Numbered("L", 70)));
  WriteFile(dir.File("DESC.TXT"), "\r\n" + Lines(Numbered("L", 70)));
  EXPECT_EQ(read(kModeFile), Numbered("L", 30));
  EXPECT_EQ(read(kTypeFile), Numbered("L", 62));
  EXPECT_EQ(read(kDescFile), Numbered("L", 64));
  WriteFile(dir.File("mode.txt"), "  spaced  \r\n\r\nLF\n\n\rCR\rlast");
  EXPECT_EQ(read(kModeFile), (Texts{"  spaced  ", "LF", "CR", "last"}));
}

// What the block or a list file cannot hold is refused, naming where it is.
TEST(PreferencesFiles, RefusesWhatTheOtherSideCannotHold) {
  TempDir dir;
  WriteFile(dir.File("Type.txt"), std::string("Food\r\n\r\nBad\0line\r\n", 18));
  Texts entries;
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { ParsePreferenceBlock(kHeader + "Cash", false); },
       "preference block: entry 1 of the mode list, at byte 24, has no ending 0 byte"},
      {[] { ParsePreferenceBlock(kHeader + std::string("\0\0D", 3), false); },
       "entry 1 of the description list"},
      {[] {
         BuildPreferenceBlock(kHeader, {"A", ""}, {}, {});
       },
       "entry 2 of the mode list is empty"},
      {[] { BuildPreferenceBlock(kHeader, {}, {std::string("a\0b", 3)}, {}); },
       "entry 1 of the type list holds a 0 byte"},
      {[] { BuildPreferenceBlock(kHeader, {}, Numbered("T", 64), {}); }, "64 entries"},
      {[&] { ReadPreferenceFile(dir.path(), kTypeFile, entries); },
       testing::NativePath(dir.path(), "Type.txt") + ", line 3: holds a 0 byte"},
  };
  for (const auto& [call, piece] : cases) {
    EXPECT_NE(testing::RaisedBy(call).text.find(piece), std::string::npos) << piece;
  }
}

TEST(PreferencesFiles, WrittenEntriesAreCutToTheFileLimitAndReplaceTheFileSafely) {
  const Texts entries{std::string(31, 'b'), std::string(100, 'c')};
  const std::string cut30 = Lines({std::string(30, 'b'), std::string(30, 'c')});
  EXPECT_EQ(PreferenceFileContents(kModeFile, entries), cut30);
  EXPECT_EQ(PreferenceFileContents(kTypeFile, entries), cut30);
  EXPECT_EQ(PreferenceFileContents(kDescFile, entries), Lines({entries[0], std::string(80, 'c')}));

  TempDir dir;
  testing::TestTrash trash;
  ASSERT_TRUE(trash.usable()) << "XDG_DATA_HOME must point into the test's folder";
  WriteFile(dir.File("mODE.txt"), "Cash\r\n");
  FailNextReplaceAfterForTesting(3);
  EXPECT_THROW(WritePreferenceFile(dir.path(), kModeFile, "Transfer\r\n", false), ConduitError);
  EXPECT_EQ(ReadFile(dir.File("mODE.txt")), "Cash\r\n");  // the old file stays whole
  EXPECT_FALSE(testing::HasEntry(dir.path(), "Mode.txt"));
  // The file takes its own name; the old one, in any case, goes to the trash.
  WritePreferenceFile(dir.path(), kModeFile, "new\r\n", false);
  WritePreferenceFile(dir.path(), kTypeFile, "t\r\n", false);
  EXPECT_EQ(ReadFile(dir.File("Mode.txt")) + ReadFile(dir.File("Type.txt")), "new\r\nt\r\n");
  EXPECT_FALSE(testing::HasEntry(dir.path(), "mODE.txt"));
  EXPECT_EQ(ReadFile(trash.Trashed("mODE.txt")), "Cash\r\n");
}

// One run of the given kind over a handheld holding `block` and a desktop
// holding the mode, type and desc files (kNone: no such file), then both
// sides; an empty blockAfter or filesAfter means "as before the run".
TEST(PreferencesSync, EachKindOfRunLeavesBothSidesAsExpected) {
  const std::string m40(40, 'm'), t31(31, 't'), d90(90, 'd'), zeroLine("Food\r\nB\0d\r\n", 11);
  const std::string old = Block({"Old"}, {"Old"}, {"Old"}), shortBlock("\x01\x02\x00\x04\x05", 5);
  Texts modes35 = Numbered("Mode", 35), merged = Numbered("New", 62);
  modes35[2] = std::string(50, 'x');  // goes whole to the handheld
  merged.push_back("T63");
  const Texts oldKept{"Old\r\n", "Kept\n", kNone}, three{"Cash\r\n", "Food\r\n", "Rent\r\n"};
  const Texts fiveModes{"Cash", "Card", "Cheque", "Transfer", "Direct debit"};
  const std::string padded = shortBlock + std::string(19, '\0');
  struct Case {
    const char* what;
    int32_t type;
    std::string block;
    Texts files;
    const char* failing;  // the platform operation made to fail
    const char* log;      // a piece of the one "Preference - " log line, "" for none
    std::string blockAfter = "";
    Texts filesAfter = {};
  } cases[] = {
      {"save cuts on the desktop only", 2, Block({m40, "Cash"}, {"Food", t31}, {d90}),
       Texts{"old\r\n", kNone, kNone}, "", "", "",
       Texts{Lines({m40.substr(10), "Cash"}), Lines({"Food", t31.substr(1)}),
             Lines({d90.substr(10)})}},
      {"save of empty lists", 2, Block({}, {}, {}), Texts{kNone, "Food\r\n", kNone}, "", "", "",
       Texts{"", "", ""}},
      {"save of a block without any 0", 2, kHeader + "CashCard", oldKept, "",
       "SavePreference - preference block: entry 1 of the mode list"},
      {"save of an unreadable preference", 2, old, oldKept, "ReadPreference", "SavePreference - "},
      {"restore: empty lines skipped, 30 modes", 3, old,
       Texts{Lines(modes35), "Food\r\n\r\nRent\r\n", "Weekly shopping"}, "", "",
       Block(Texts(modes35.begin(), modes35.begin() + 30), {"Food", "Rent"}, {"Weekly shopping"})},
      {"restore pads a short header to 24 bytes", 3, shortBlock,
       Texts{Lines(fiveModes), "", "Rent\r\n"}, "", "", Block(fiveModes, {}, {"Rent"}, padded)},
      {"merge pads a short header to 24 bytes", 0, shortBlock,
       Texts{Lines(fiveModes), kNone, kNone}, "", "", Block(fiveModes, {}, {}, padded),
       Texts{Lines(fiveModes), "", ""}},
      {"restore without type.txt", 3, old, Texts{"Cash\r\n", kNone, "Rent\r\n"}, "",
       "type.txt does not exist"},
      {"restore of an unreadable preference", 3, old, three, "ReadPreference", "RestorePreference"},
      {"restore refused by the handheld", 3, old, three, "WritePreference", "RestorePreference"},
      {"merge of a full type list", 0, Block({"Cash"}, Numbered("T", 63), {"Rent", "Gas"}),
       Texts{kNone, Lines(Numbered("New", 62)), kNone}, "", "",
       Block({"Cash"}, merged, {"Rent", "Gas"}),
       Texts{"Cash\r\n", Lines(merged), "Rent\r\nGas\r\n"}},
      {"merge of an unreadable preference", 0, old, Texts{kNone, kNone, kNone}, "ReadPreference",
       "SyncPreference - "},
      {"merge with a line holding a 0 byte", 0, old, Texts{"X\r\n", zeroLine, kNone}, "",
       "SyncPreference - "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const char* names[] = {"mode.txt", "type.txt", "desc.txt"};
    for (int i = 0; i < 3; ++i)
      if (c.files[i] != kNone) WriteFile(desktop.File(names[i]), c.files[i]);
    auto device = lists_testing::MakeDevice(c.block);
    auto result = lists_testing::RunSync(device, desktop.path(), c.type, c.failing);
    auto lines = result.LinesWith("Preference - ");
    ASSERT_EQ(lines.size(), *c.log ? 1u : 0u) << ::testing::PrintToString(lines);
    for (const auto& line : lines) EXPECT_NE(line.find(c.log), std::string::npos) << line;
    EXPECT_EQ(lists_testing::PreferenceText(device), c.blockAfter.empty() ? c.block : c.blockAfter);
    EXPECT_EQ(device.preferences[0].version, 7);
    const Texts& after = c.filesAfter.empty() ? c.files : c.filesAfter;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ListFile(desktop.path(), names[i]), after[i]);
#ifndef _WIN32  // a folder that ignores case holds one file under either spelling
    // A rewritten file is named "Mode.txt", "Type.txt", "Desc.txt", and no other spelling stays.
    const char* rewritten[] = {"Mode.txt", "Type.txt", "Desc.txt"};
    for (int i = 0; i < 3 && !c.filesAfter.empty(); ++i) {
      EXPECT_TRUE(testing::Exists(desktop.File(rewritten[i]))) << rewritten[i];
      EXPECT_FALSE(testing::Exists(desktop.File(names[i]))) << names[i];
    }
#endif
  }
}

// Fast run: line i of a file replaces entry i of its list, further lines are
// appended, further entries stay; a missing file leaves its list as it is.
TEST(PreferencesSync, MergeByPositionSendsTheSameListsToBothSides) {
  const std::string longLine(45, 'L');
  Texts fortyMerged = Numbered("H", 40);
  for (int i = 0; i < 10; ++i) fortyMerged[i] = "F" + std::to_string(i + 1);
  const std::tuple<Texts, std::string, Texts> cases[] = {
      // handheld, mode.txt, merged
      {{"A", "B", "C"}, "X\r\n", {"X", "B", "C"}},
      {{"A"}, "X\r\nY\r\nZ\r\n", {"X", "Y", "Z"}},
      {{"A", "B"}, kNone, {"A", "B"}},
      {Numbered("H", 5), Lines(Numbered("F", 40)), Numbered("F", 30)},
      {Numbered("H", 40), Lines(Numbered("F", 10)), fortyMerged},
      {{"A"}, Lines({longLine}), {longLine}},  // whole on the handheld, cut on the desktop
      {{"A", "B", "C"}, "\r\nX\r\n\r\nY\r\n", {"X", "Y", "C"}},
  };
  for (const auto& [handheld, file, merged] : cases) {
    TempDir desktop;
    auto device = lists_testing::MakeDevice(Block(handheld, {"Food"}, {"Rent"}));
    if (file != kNone) WriteFile(desktop.File("mode.txt"), file);
    auto result = lists_testing::RunSync(device, desktop.path(), 0);
    EXPECT_EQ(result.LinesWith("Preference - "), Texts{});
    EXPECT_EQ(lists_testing::PreferenceText(device), Block(merged, {"Food"}, {"Rent"}));
    std::string modeFile;  // entries cut to 30 characters
    for (const auto& entry : merged) modeFile += entry.substr(0, 30) + "\r\n";
    EXPECT_EQ(ListFile(desktop.path(), "mode.txt"), modeFile);
    EXPECT_EQ(ListFile(desktop.path(), "type.txt") + ListFile(desktop.path(), "desc.txt"),
              "Food\r\nRent\r\n");
  }
}

}  // namespace
}  // namespace bolvarin
