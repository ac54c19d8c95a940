// The preference block, the three list files, and their exchange with the
// handheld in the three kinds of run that touch them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "conduit/mod_public.h"
#include "lists/preference_lists.h"
#include "os/files.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::Header;
using lists_testing::Lines;
using lists_testing::Numbered;
using lists_testing::PreferenceText;
using lists_testing::RunSync;
using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Texts = std::vector<std::string>;

Texts TextsOf(const std::vector<colEnregistrement>& list) {
  Texts out;
  for (const auto& entry : list) out.push_back(entry.Texte);
  return out;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// ---------------------------------------------------------------- block

TEST(PreferencesBlock, ParsesTheThreeLists) {
  const std::string h = Header();
  struct Case {
    const char* what;
    std::string block;
    Texts modes, types, descs;
  } cases[] = {
      {"header and four 0 bytes", h + std::string(4, '\0'), {}, {}, {}},
      {"one of each", Block(h, {"Cash"}, {"Food"}, {"Rent"}), {"Cash"}, {"Food"}, {"Rent"}},
      {"no final 0", h + std::string("A\0B\0\0T\0\0D\0\0", 12), {"A", "B"}, {"T"}, {"D"}},
      {"final 0", h + std::string("A\0B\0\0T\0\0D\0\0\0", 13), {"A", "B"}, {"T"}, {"D"}},
      {"63 types run straight into the descriptions",
       Block(h, {"M"}, Numbered("T", 63), {"D1", "D2"}),
       {"M"},
       Numbered("T", 63),
       {"D1", "D2"}},
      {"62 types end with their 0",
       Block(h, {}, Numbered("T", 62), {"D1"}),
       {},
       Numbered("T", 62),
       {"D1"}},
      {"block shorter than the header", h.substr(0, 10), {}, {}, {}},
      {"header only", h, {}, {}, {}},
      {"lists cut short after the modes", h + std::string("A\0", 2), {"A"}, {}, {}},
      {"bytes after the description list are ignored",
       h + std::string("\0\0\0junk", 7),
       {},
       {},
       {}},
      {"8-bit text kept", h + std::string("\xE9t\xE9\0\0\0\0", 7), {"\xE9t\xE9"}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ParsePreferenceBlock(c.block, false);
    EXPECT_EQ(TextsOf(ModeList), c.modes);
    EXPECT_EQ(TextsOf(TypeList), c.types);
    EXPECT_EQ(TextsOf(DescList), c.descs);
  }
}

TEST(PreferencesBlock, EntryWithoutItsEndingZeroIsAnError) {
  const std::string h = Header();
  struct Case {
    std::string block;
    const char* names;  // a piece of the error text
  } cases[] = {
      {h + "Cash", "entry 1 of the mode list"},
      {h + std::string("A\0B", 3), "entry 2 of the mode list"},
      {h + std::string("\0T", 2), "entry 1 of the type list"},
      {h + std::string("\0\0D", 3), "entry 1 of the description list"},
  };
  for (const Case& c : cases) {
    try {
      ParsePreferenceBlock(c.block, false);
      ADD_FAILURE() << "no error for " << c.names;
    } catch (const ConduitError& e) {
      EXPECT_NE(std::string(e.what()).find(c.names), std::string::npos) << e.what();
    }
  }
}

TEST(PreferencesBlock, ParserYieldsOncePerEntryAndListEndWhenAsked) {
  int yields = 0;
  auto previous = SetPendingMessagesHandler([&] { ++yields; });
  const std::string block = Block(Header(), {"A", "B"}, {"T"}, {});
  ParsePreferenceBlock(block, false);
  EXPECT_EQ(yields, 0);
  ParsePreferenceBlock(block, true);
  EXPECT_EQ(yields, 6);  // A, B, end, T, end, end
  SetPendingMessagesHandler(previous);
}

TEST(PreferencesBlock, BuiltBlocksParseBackTheSame) {
  const std::string h = Header();
  struct Case {
    Texts modes, types, descs;
  } cases[] = {
      {{}, {}, {}},
      {{"Cash", "Card"}, {"Food"}, {"Weekly shopping"}},
      {Numbered("M", 30), Numbered("T", 62), Numbered("D", 64)},
      {Numbered("M", 3), Numbered("T", 63), Numbered("D", 2)},
      {{}, Numbered("T", 63), {}},
      {{Repeat('m', 45)}, {}, {Repeat('d', 200)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.types.size()) + " types");
    std::string built = BuildPreferenceBlock(h, c.modes, c.types, c.descs);
    EXPECT_EQ(built, Block(h, c.modes, c.types, c.descs));
    EXPECT_EQ(built.back(), '\0');
    ParsePreferenceBlock(built, false);
    EXPECT_EQ(TextsOf(ModeList), c.modes);
    EXPECT_EQ(TextsOf(TypeList), c.types);
    EXPECT_EQ(TextsOf(DescList), c.descs);
  }
}

TEST(PreferencesBlock, FullTypeListIsWrittenWithoutItsEndingZero) {
  std::string built = BuildPreferenceBlock(Header(), {}, Numbered("T", 63), {"D"});
  std::string tail = std::string("T63\0D\0\0\0", 8);
  ASSERT_GE(built.size(), tail.size());
  EXPECT_EQ(built.substr(built.size() - tail.size()), tail);
}

TEST(PreferencesBlock, BuilderRefusesEntriesTheBlockCannotHold) {
  struct Case {
    Texts modes, types, descs;
    const char* names;
  } cases[] = {
      {{"A", ""}, {}, {}, "entry 2 of the mode list"},
      {{}, {std::string("a\0b", 3)}, {}, "entry 1 of the type list"},
      {{}, {}, {"", "x"}, "entry 1 of the description list"},
      {{}, Numbered("T", 64), {}, "64 entries"},
  };
  for (const Case& c : cases) {
    try {
      BuildPreferenceBlock(Header(), c.modes, c.types, c.descs);
      ADD_FAILURE() << "no error for " << c.names;
    } catch (const ConduitError& e) {
      EXPECT_NE(std::string(e.what()).find(c.names), std::string::npos) << e.what();
    }
  }
}

// ---------------------------------------------------------------- files

TEST(PreferencesFiles, ReadsAtMostTheLimitSkippingEmptyLines) {
  struct Case {
    const PreferenceFile* file;
    int lines;
    size_t kept;
  } cases[] = {{&kModeFile, 35, 30},
               {&kTypeFile, 70, 62},
               {&kDescFile, 70, 64},
               {&kModeFile, 30, 30},
               {&kTypeFile, 3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file->readName) + " " + std::to_string(c.lines));
    TempDir dir;
    std::string contents;
    for (int i = 1; i <= c.lines; ++i) contents += "L" + std::to_string(i) + "\r\n\r\n";
    WriteFile(dir.File(c.file->readName), contents);
    Texts entries;
    ASSERT_TRUE(ReadPreferenceFile(dir.path(), *c.file, entries));
    EXPECT_EQ(entries, Numbered("L", static_cast<int>(c.kept)));
  }
}

TEST(PreferencesFiles, LinesAreTakenAsReadWhateverTheirEnds) {
  TempDir dir;
  WriteFile(dir.File("mode.txt"), "  spaced  \r\nLF\n\rCR\rlast");
  Texts entries;
  ASSERT_TRUE(ReadPreferenceFile(dir.path(), kModeFile, entries));
  EXPECT_EQ(entries, (Texts{"  spaced  ", "LF", "CR", "last"}));
}

TEST(PreferencesFiles, FindsTheFileWithoutRegardToCase) {
  TempDir dir;
  WriteFile(dir.File("DESC.TXT"), "Rent\r\n");
  Texts entries;
  ASSERT_TRUE(ReadPreferenceFile(dir.path(), kDescFile, entries));
  EXPECT_EQ(entries, Texts{"Rent"});
  EXPECT_FALSE(ReadPreferenceFile(dir.path(), kModeFile, entries));
  EXPECT_TRUE(entries.empty());
}

TEST(PreferencesFiles, LineHoldingAZeroByteIsAnErrorNamingFileAndLine) {
  TempDir dir;
  WriteFile(dir.File("type.txt"), std::string("Food\r\nBad\0line\r\n", 16));
  Texts entries;
  try {
    ReadPreferenceFile(dir.path(), kTypeFile, entries);
    ADD_FAILURE() << "no error";
  } catch (const ConduitError& e) {
    std::string text = e.what();
    EXPECT_NE(text.find("type.txt, line 2"), std::string::npos) << text;
  }
}

TEST(PreferencesFiles, WrittenEntriesAreCutToTheFileLimit) {
  const Texts entries{Repeat('a', 29), Repeat('b', 30), Repeat('c', 31), Repeat('d', 100)};
  EXPECT_EQ(PreferenceFileContents(kModeFile, entries),
            Lines({Repeat('a', 29), Repeat('b', 30), Repeat('c', 30), Repeat('d', 30)}));
  EXPECT_EQ(PreferenceFileContents(kTypeFile, entries),
            Lines({Repeat('a', 29), Repeat('b', 30), Repeat('c', 30), Repeat('d', 30)}));
  EXPECT_EQ(PreferenceFileContents(kDescFile, entries),
            Lines({Repeat('a', 29), Repeat('b', 30), Repeat('c', 31), Repeat('d', 80)}));
  EXPECT_EQ(PreferenceFileContents(kModeFile, {}), "");
}

TEST(PreferencesFiles, ReplacesAnExistingFileUnderItsOwnName) {
  TempDir dir;
  WriteFile(dir.File("mODE.txt"), "old\r\n");
  WritePreferenceFile(dir.path(), kModeFile, "new\r\n", true);
  WritePreferenceFile(dir.path(), kTypeFile, "t\r\n", true);
  WritePreferenceFile(dir.path(), kDescFile, "", true);
  EXPECT_EQ(FolderNames(dir.path()),
            (std::vector<std::string>{"Desc.txt", "Type.txt", "mODE.txt"}));
  EXPECT_EQ(ReadFile(dir.File("mODE.txt")), "new\r\n");
  EXPECT_EQ(ReadFile(dir.File("Type.txt")), "t\r\n");
  EXPECT_EQ(ReadFile(dir.File("Desc.txt")), "");
}

TEST(PreferencesFiles, FailedReplacementLeavesTheOldFileWhole) {
  TempDir dir;
  WriteFile(dir.File("mode.txt"), "Cash\r\nCard\r\n");
  FailNextReplaceAfterForTesting(3);
  EXPECT_THROW(WritePreferenceFile(dir.path(), kModeFile, "Transfer\r\nCheque\r\n", true),
               ConduitError);
  FailNextReplaceAfterForTesting(-1);
  EXPECT_EQ(ReadFile(dir.File("mode.txt")), "Cash\r\nCard\r\n");
  EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"mode.txt"});
}

// ---------------------------------------------------------------- runs

class PreferencesSync : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return desktop_.File(name); }
  void Write(const char* name, const std::string& contents) { WriteFile(Path(name), contents); }
  std::string Read(const char* name) const { return ReadFile(Path(name)); }

  lists_testing::RunResult Run(handheld::Device& device, int32_t type,
                               const std::function<void(handheld::SimPlatform&)>& prepare = {}) {
    return RunSync(device, desktop_.path(), type, prepare);
  }

  TempDir desktop_;
};

// Handheld overwrites desktop.
TEST_F(PreferencesSync, SaveWritesTheHandheldListsCutToTheirLimits) {
  const std::string block =
      Block(Header(), {Repeat('m', 40), "Cash"}, {"Food", Repeat('t', 31)}, {Repeat('d', 90)});
  auto device = lists_testing::MakeDevice(&block);
  Write("MODE.TXT", "old mode\r\n");
  auto result = Run(device, 2);
  EXPECT_TRUE(result.LinesWith(" - SavePreference - ").empty()) << result.AllLines();
  EXPECT_EQ(Read("MODE.TXT"), Lines({Repeat('m', 30), "Cash"}));
  EXPECT_EQ(Read("Type.txt"), Lines({"Food", Repeat('t', 30)}));
  EXPECT_EQ(Read("Desc.txt"), Lines({Repeat('d', 80)}));
  EXPECT_FALSE(Exists(Path("Mode.txt")));
  EXPECT_EQ(PreferenceText(device), block);  // the handheld is only read
}

TEST_F(PreferencesSync, SaveOfThreeEmptyListsLeavesThreeEmptyFiles) {
  const std::string block = Header() + std::string(4, '\0');
  auto device = lists_testing::MakeDevice(&block);
  Write("type.txt", "Food\r\n");
  Run(device, 2);
  EXPECT_EQ(Read("Mode.txt"), "");
  EXPECT_EQ(Read("type.txt"), "");
  EXPECT_EQ(Read("Desc.txt"), "");
}

TEST_F(PreferencesSync, SaveThatCannotReadTheBlockChangesNoFile) {
  struct Case {
    const char* what;
    std::string block;
    bool failRead;
    const char* error;
  } cases[] = {
      {"entries without any 0", Header() + "CashCard", false, "no ending 0"},
      {"unreadable preference", Block(Header(), {"Cash"}, {}, {}), true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto device = lists_testing::MakeDevice(&c.block);
    Write("mode.txt", "Old\r\n");
    Write("type.txt", "Kept\n");
    auto result = Run(device, 2, [&](handheld::SimPlatform& p) {
      if (c.failRead) p.FailOperation("ReadPreference");
    });
    auto lines = result.LinesWith(" - SavePreference - ");
    ASSERT_EQ(lines.size(), 1u) << result.AllLines();
    EXPECT_EQ(lines[0].rfind("SyncBolvarin - SavePreference - ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.error), std::string::npos) << lines[0];
    EXPECT_EQ(Read("mode.txt"), "Old\r\n");
    EXPECT_EQ(Read("type.txt"), "Kept\n");
    EXPECT_FALSE(Exists(Path("Desc.txt")));
  }
}

// Desktop overwrites handheld.
TEST_F(PreferencesSync, RestoreSendsTheFilesToTheHandheld) {
  const std::string old = Block(Header(), {"Old"}, {"Old"}, {"Old"});
  auto device = lists_testing::MakeDevice(&old);
  Texts modes = Numbered("Mode", 35);
  modes[2] = Repeat('x', 50);
  Write("mode.txt", Lines(modes));
  Write("TYPE.txt", "Food\r\n\r\nRent\r\n");
  Write("Desc.TXT", "Weekly shopping");
  auto result = Run(device, 3);
  EXPECT_TRUE(result.LinesWith(" - RestorePreference - ").empty()) << result.AllLines();
  Texts sent(modes.begin(), modes.begin() + 30);
  EXPECT_EQ(PreferenceText(device), Block(Header(), sent, {"Food", "Rent"}, {"Weekly shopping"}));
  EXPECT_EQ(device.FindPreference("Bolv", 0)->version, 7);  // the version read is passed back
  // The desktop files are only read.
  EXPECT_EQ(Read("mode.txt"), Lines(modes));
}

TEST_F(PreferencesSync, RestoreKeepsAShortBlockWholeAsItsHeader) {
  const std::string shortBlock("\x01\x02\x00\x04\x05", 5);
  auto device = lists_testing::MakeDevice(&shortBlock);
  Write("mode.txt", "Cash\r\n");
  Write("type.txt", "");
  Write("desc.txt", "Rent\r\n");
  Run(device, 3);
  EXPECT_EQ(PreferenceText(device), Block(shortBlock, {"Cash"}, {}, {"Rent"}));
}

TEST_F(PreferencesSync, RestoreThatFailsLeavesTheHandheldAsItWas) {
  struct Case {
    const char* what;
    bool typeFile;
    const char* failing;  // platform operation made to fail, or empty
    const char* names;    // a piece of the log line
  } cases[] = {
      {"type.txt missing", false, "", "type.txt"},
      {"unreadable preference", true, "ReadPreference", "ReadPreference"},
      {"refused write", true, "WritePreference", "WritePreference"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const std::string old = Block(Header(), {"Old"}, {"Old"}, {"Old"});
    auto device = lists_testing::MakeDevice(&old);
    WriteFile(desktop.File("mode.txt"), "Cash\r\n");
    if (c.typeFile) WriteFile(desktop.File("type.txt"), "Food\r\n");
    WriteFile(desktop.File("desc.txt"), "Rent\r\n");
    auto result = RunSync(device, desktop.path(), 3, [&](handheld::SimPlatform& p) {
      if (*c.failing != '\0') p.FailOperation(c.failing);
    });
    auto lines = result.LinesWith(" - RestorePreference - ");
    ASSERT_EQ(lines.size(), 1u) << result.AllLines();
    EXPECT_NE(lines[0].find(c.names), std::string::npos) << lines[0];
    EXPECT_EQ(PreferenceText(device), old);
    EXPECT_EQ(ReadFile(desktop.File("mode.txt")), "Cash\r\n");
  }
}

// Fast sync: merge by position.
TEST_F(PreferencesSync, MergeByPositionSendsTheSameListsToBothSides) {
  const Texts forty = Numbered("H", 40);
  Texts fortyMerged = forty;
  for (int i = 0; i < 10; ++i) fortyMerged[i] = "F" + std::to_string(i + 1);
  struct Case {
    const char* what;
    Texts handheld;
    std::optional<std::string> file;  // mode.txt
    Texts merged;
    std::string fileAfter;
  } cases[] = {
      {"file replaces the first entry",
       {"A", "B", "C"},
       "X\r\n",
       {"X", "B", "C"},
       Lines({"X", "B", "C"})},
      {"file lines beyond the list are appended",
       {"A"},
       "X\r\nY\r\nZ\r\n",
       {"X", "Y", "Z"},
       Lines({"X", "Y", "Z"})},
      {"no file keeps the handheld list", {"A", "B"}, std::nullopt, {"A", "B"}, Lines({"A", "B"})},
      {"a file of 40 lines gives 30 entries", Numbered("H", 5), Lines(Numbered("F", 40)),
       Numbered("F", 30), Lines(Numbered("F", 30))},
      {"40 handheld entries and 10 lines", forty, Lines(Numbered("F", 10)), fortyMerged,
       Lines(fortyMerged)},
      {"a long line goes whole to the handheld",
       {"A"},
       Lines({Repeat('L', 45)}),
       {Repeat('L', 45)},
       Lines({Repeat('L', 30)})},
      {"empty lines do not shift the entries",
       {"A", "B", "C"},
       "\r\nX\r\n\r\nY\r\n",
       {"X", "Y", "C"},
       Lines({"X", "Y", "C"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    std::string block = Block(Header(), c.handheld, {"Food"}, {"Rent"});
    auto device = lists_testing::MakeDevice(&block);
    if (c.file) WriteFile(desktop.File("mode.txt"), *c.file);
    auto result = RunSync(device, desktop.path(), 0);
    EXPECT_TRUE(result.LinesWith(" - SyncPreference - ").empty()) << result.AllLines();
    EXPECT_EQ(PreferenceText(device), Block(Header(), c.merged, {"Food"}, {"Rent"}));
    EXPECT_EQ(device.FindPreference("Bolv", 0)->version, 7);
    EXPECT_EQ(ReadFile(desktop.File(c.file ? "mode.txt" : "Mode.txt")), c.fileAfter);
    EXPECT_EQ(ReadFile(desktop.File("Type.txt")), "Food\r\n");
    EXPECT_EQ(ReadFile(desktop.File("Desc.txt")), "Rent\r\n");
  }
}

TEST_F(PreferencesSync, FullTypeListMergesAndStaysReadable) {
  Texts types = Numbered("T", 63);
  const std::string block = Block(Header(), {"Cash"}, types, {"Rent", "Gas"});
  auto device = lists_testing::MakeDevice(&block);
  Texts fileTypes = Numbered("New", 62);
  Write("type.txt", Lines(fileTypes));
  auto result = Run(device, 0);
  EXPECT_TRUE(result.LinesWith(" - SyncPreference - ").empty()) << result.AllLines();
  Texts merged = fileTypes;
  merged.push_back("T63");
  const std::string sent = PreferenceText(device);
  EXPECT_EQ(sent, Block(Header(), {"Cash"}, merged, {"Rent", "Gas"}));
  ParsePreferenceBlock(sent, false);
  EXPECT_EQ(TextsOf(TypeList), merged);
  EXPECT_EQ(TextsOf(DescList), (Texts{"Rent", "Gas"}));
  EXPECT_EQ(Read("type.txt"), Lines(merged));
}

TEST_F(PreferencesSync, FailureBeforeTheWritesChangesNeitherSide) {
  struct Case {
    const char* what;
    bool failRead;
    std::string typeFile;  // empty: no type.txt
  } cases[] = {
      {"unreadable preference, no files", true, ""},
      {"a type line holding a 0 byte", false, std::string("Food\r\nB\0d\r\n", 11)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const std::string block = Block(Header(), {"A", "B"}, {"T"}, {"D"});
    auto device = lists_testing::MakeDevice(&block);
    if (!c.typeFile.empty()) {
      WriteFile(desktop.File("mode.txt"), "X\r\n");
      WriteFile(desktop.File("type.txt"), c.typeFile);
    }
    auto result = RunSync(device, desktop.path(), 0, [&](handheld::SimPlatform& p) {
      if (c.failRead) p.FailOperation("ReadPreference");
    });
    auto lines = result.LinesWith(" - SyncPreference - ");
    ASSERT_EQ(lines.size(), 1u) << result.AllLines();
    EXPECT_EQ(lines[0].rfind("SyncBolvarin - SyncPreference - ", 0), 0u) << lines[0];
    EXPECT_EQ(PreferenceText(device), block);
    if (c.typeFile.empty()) {
      for (const char* name : {"Mode.txt", "Type.txt", "Desc.txt"}) {
        EXPECT_FALSE(Exists(desktop.File(name))) << name;
      }
    } else {
      EXPECT_EQ(ReadFile(desktop.File("mode.txt")), "X\r\n");
      EXPECT_EQ(ReadFile(desktop.File("type.txt")), c.typeFile);
      EXPECT_FALSE(Exists(desktop.File("Desc.txt")));
    }
  }
}

TEST_F(PreferencesSync, OnlyTheMergeYieldsWhileParsing) {
  // Two runs that differ only in the block's entries: the difference in
  // yields is what the parser added.
  auto yieldsFor = [](int32_t type, const std::string& block) {
    TempDir desktop;
    auto device = lists_testing::MakeDevice(&block);
    int yields = 0;
    auto previous = SetPendingMessagesHandler([&] { ++yields; });
    RunSync(device, desktop.path(), type);
    SetPendingMessagesHandler(previous);
    return yields;
  };
  const std::string empty = Block(Header(), {}, {}, {});
  const std::string full = Block(Header(), {"A", "B", "C"}, {"T", "U"}, {"D"});
  EXPECT_EQ(yieldsFor(0, full) - yieldsFor(0, empty), 6);  // one per entry
  EXPECT_EQ(yieldsFor(2, full) - yieldsFor(2, empty), 0);
}

TEST_F(PreferencesSync, SlowSyncLeavesTheListsAlone) {
  const std::string block = Block(Header(), {"A"}, {"T"}, {"D"});
  auto device = lists_testing::MakeDevice(&block);
  Write("mode.txt", "X\r\n");
  Run(device, 1);
  EXPECT_EQ(PreferenceText(device), block);
  EXPECT_EQ(Read("mode.txt"), "X\r\n");
  EXPECT_FALSE(Exists(Path("Type.txt")));
}

}  // namespace
}  // namespace bolvarin
