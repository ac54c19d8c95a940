// The desktop category table and its file "categories.txt".
#include "lists/cdtcategories.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "conduit/mod_public.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Padded(const std::string& name) { return name + std::string(15 - name.size(), ' '); }

struct SlotState {
  std::string name;  // trimmed
  int id;
  bool dirty;
};

class CDtCategoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDelete_ = DeleteDefinitively;
    DeleteDefinitively = true;  // keep the tests' files out of the user's trash
  }
  void TearDown() override { DeleteDefinitively = savedDelete_; }

  std::string Folder() const { return dir_.path() + "/"; }
  std::string FilePath() const { return dir_.File("categories.txt"); }

  // A table filled from `contents` (no file when contents is null).
  std::unique_ptr<CDtCategories> Load(const char* contents) {
    if (contents != nullptr) WriteFile(FilePath(), contents);
    auto table = std::make_unique<CDtCategories>();
    table->Create(Folder());
    return table;
  }

  static void ExpectRecoveryDefaults(const CDtCategories& table) {
    for (int16_t k = 0; k < 16; ++k) {
      EXPECT_EQ(table.Name(k), std::string(15, ' ')) << "slot " << k;
      EXPECT_EQ(table.ID(k), k) << "slot " << k;
      EXPECT_FALSE(table.Dirty(k)) << "slot " << k;
    }
  }

  TempDir dir_;
  bool savedDelete_ = false;
};

TEST_F(CDtCategoriesTest, ReadsLinesIntoSlotsInOrder) {
  struct Case {
    const char* what;
    const char* file;
    std::vector<SlotState> slots;  // the first slots; the rest stay new (free, 0, false)
  } cases[] = {
      {"canonical line", "Travel, 5,False\r\n", {{"Travel", 5, false}}},
      {"three lines",
       "A, 1,True\r\nB, 2,False\r\nC, 3,True\r\n",
       {{"A", 1, true}, {"B", 2, false}, {"C", 3, true}}},
      {"flag with blanks", "A, 1, False \r\n", {{"A", 1, false}}},
      {"flag lower case", "A, 1,false\r\n", {{"A", 1, true}}},
      {"flag upper case", "A, 1,FALSE\r\n", {{"A", 1, true}}},
      {"flag zero", "A, 1,0\r\n", {{"A", 1, true}}},
      {"flag empty", "A, 1,\r\n", {{"A", 1, true}}},
      {"blanks around everything", "   Home   ,  12  , True\r\n", {{"Home", 12, true}}},
      {"identifier with leading zeros", "A,007,False\r\n", {{"A", 7, false}}},
      {"identifier 0 and 255",
       "A, 0,False\r\nB, 255,False\r\n",
       {{"A", 0, false}, {"B", 255, false}}},
      {"long name cut", "Abcdefghijklmnopqrst, 4,False\r\n", {{"Abcdefghijklmno", 4, false}}},
      {"comma in the name", "Food, drink, 7,True\r\n", {{"Food, drink", 7, true}}},
      {"lone LF ends", "A, 1,False\nB, 2,False\n", {{"A", 1, false}, {"B", 2, false}}},
      {"lone CR ends", "A, 1,False\rB, 2,False", {{"A", 1, false}, {"B", 2, false}}},
      {"no end on the last line", "A, 1,False\r\nB, 2,True", {{"A", 1, false}, {"B", 2, true}}},
      {"empty lines after the last entry", "A, 1,False\r\n\r\n\r\n", {{"A", 1, false}}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = Load(c.file);
    EXPECT_EQ(table->LoadFailure(), "");
    for (int16_t k = 0; k < 16; ++k) {
      SlotState want = k < static_cast<int>(c.slots.size()) ? c.slots[k] : SlotState{"", 0, false};
      EXPECT_EQ(table->Name(k), Padded(want.name)) << "slot " << k;
      EXPECT_EQ(table->ID(k), want.id) << "slot " << k;
      EXPECT_EQ(table->Dirty(k), want.dirty) << "slot " << k;
    }
  }
}

TEST_F(CDtCategoriesTest, UnreadableFileFallsBackButIsKeptByteForByte) {
  std::string sixteen;
  for (int i = 0; i < 16; ++i)
    sixteen += "C" + std::to_string(i) + ", " + std::to_string(i) + ",False\r\n";
  struct Case {
    std::string file;
    int line;
    const char* reason;  // a piece of the recorded reason
  } cases[] = {
      {sixteen + "Extra, 99,False\r\n", 17, "more than 16 lines"},
      {"A, 1,False\r\nNoCommaHere\r\n", 2, "two commas"},
      {"Single, 5\r\n", 1, "two commas"},
      {"A, 256,False\r\n", 1, "\" 256\""},
      {"A, 1,False\r\nB, five,False\r\n", 2, "\" five\""},
      {"A, -1,False\r\n", 1, "0 to 255"},
      {"A, ,False\r\n", 1, "0 to 255"},
      {"A, 1,False\r\n\r\nB, 2,False\r\n", 2, "empty line"},
      {"A, 1,False\n   \n", 2, "two commas"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    {
      auto table = Load(c.file.c_str());
      ExpectRecoveryDefaults(*table);
      const std::string& failure = table->LoadFailure();
      EXPECT_NE(failure.find(FilePath()), std::string::npos) << failure;
      EXPECT_NE(failure.find("line " + std::to_string(c.line) + ":"), std::string::npos) << failure;
      EXPECT_NE(failure.find(c.reason), std::string::npos) << failure;
      // Changes and an explicit save must not touch the file either.
      table->SetName(0, "Changed");
      table->SetDirty(0, true);
      table->Save();
    }
    EXPECT_EQ(ReadFile(FilePath()), c.file);
  }
}

TEST_F(CDtCategoriesTest, MissingFileGivesRecoveryDefaultsAndLeavesAnEmptyFile) {
  {
    auto table = Load(nullptr);
    ExpectRecoveryDefaults(*table);
    EXPECT_EQ(table->LoadFailure(), "");
  }
  ASSERT_TRUE(Exists(FilePath()));
  EXPECT_EQ(ReadFile(FilePath()), "");
}

TEST_F(CDtCategoriesTest, ReleaseRewritesTheFileCanonically) {
  { auto table = Load("  Travel ,5 , False \r\nHome,12,yes\nWork,  3,False"); }
  EXPECT_EQ(ReadFile(FilePath()), "Travel, 5,False\r\nHome, 12,True\r\nWork, 3,False\r\n");
}

TEST_F(CDtCategoriesTest, FreeSlotsWriteNoLineAndLaterSlotsMoveUp) {
  {
    auto table = Load("A, 1,False\r\nB, 2,True\r\nC, 3,False\r\n");
    table->SetName(1, "   ");  // slot 1 becomes free; its dirty flag does not matter
    table->SetDirty(1, true);
    table->SetName(5, "Late");
    table->SetID(5, 50);
  }
  EXPECT_EQ(ReadFile(FilePath()), "A, 1,False\r\nC, 3,False\r\nLate, 50,False\r\n");
  auto again = Load(nullptr);
  EXPECT_EQ(again->Name(1), Padded("C"));
  EXPECT_EQ(again->ID(1), 3);
  EXPECT_EQ(again->Name(2), Padded("Late"));
  EXPECT_EQ(again->ID(2), 50);
  EXPECT_EQ(again->Name(5), std::string(15, ' '));
  EXPECT_EQ(again->ID(5), 0);
}

TEST_F(CDtCategoriesTest, NamesAreCutOrPaddedToFifteenAndRoundTripWithCommas) {
  {
    auto table = Load(nullptr);
    table->SetName(0, "A very long category name");
    table->SetName(1, "  lead");
    table->SetName(2, "Food, drink");
    table->SetID(2, 200);
    table->SetName(3, ",,");
    table->SetDirty(3, true);
    EXPECT_EQ(table->Name(0), "A very long cat");
    EXPECT_EQ(table->Name(1), Padded("  lead"));  // no trimming on write
    EXPECT_EQ(table->Name(2), Padded("Food, drink"));
  }
  auto again = Load(nullptr);
  EXPECT_EQ(again->LoadFailure(), "");
  EXPECT_EQ(again->Name(0), "A very long cat");
  EXPECT_EQ(again->Name(1), Padded("lead"));  // leading blanks are lost through the file
  EXPECT_EQ(again->Name(2), Padded("Food, drink"));
  EXPECT_EQ(again->ID(2), 200);
  EXPECT_EQ(again->Name(3), Padded(",,"));
  EXPECT_TRUE(again->Dirty(3));
}

TEST_F(CDtCategoriesTest, SecondCreateDoesNothing) {
  TempDir other;
  WriteFile(other.File("categories.txt"), "Other, 9,True\r\n");
  {
    auto table = Load("Mine, 1,False\r\n");
    table->Create(other.path() + "/");
    EXPECT_EQ(table->Name(0), Padded("Mine"));
    table->SetID(0, 2);
  }
  EXPECT_EQ(ReadFile(FilePath()), "Mine, 2,False\r\n");
  EXPECT_EQ(ReadFile(other.File("categories.txt")), "Other, 9,True\r\n");
}

TEST_F(CDtCategoriesTest, IndexOutsideTheSlotsFailsAndChangesNothing) {
  auto table = Load("A, 1,True\r\n");
  for (int16_t bad : {int16_t(-1), int16_t(16), int16_t(300)}) {
    SCOPED_TRACE(bad);
    auto expectRange = [](auto call) {
      try {
        call();
        ADD_FAILURE() << "no error";
      } catch (const ConduitError& e) {
        EXPECT_EQ(e.number(), err::kSubscriptOutOfRange);
      }
    };
    expectRange([&] { table->Name(bad); });
    expectRange([&] { table->SetName(bad, "X"); });
    expectRange([&] { table->ID(bad); });
    expectRange([&] { table->SetID(bad, 7); });
    expectRange([&] { table->Dirty(bad); });
    expectRange([&] { table->SetDirty(bad, false); });
  }
  EXPECT_EQ(table->Name(0), Padded("A"));
  EXPECT_EQ(table->ID(0), 1);
  EXPECT_TRUE(table->Dirty(0));
}

TEST_F(CDtCategoriesTest, ResetDirtyFlagsClearsEverySlot) {
  {
    auto table = Load("A, 1,True\r\nB, 2,True\r\nC, 3,False\r\n");
    table->SetDirty(15, true);
    table->ResetDirtyFlags();
    for (int16_t k = 0; k < 16; ++k) EXPECT_FALSE(table->Dirty(k)) << k;
  }
  EXPECT_EQ(ReadFile(FilePath()), "A, 1,False\r\nB, 2,False\r\nC, 3,False\r\n");
}

TEST_F(CDtCategoriesTest, NameWithLineBreakIsRefused) {
  auto table = Load(nullptr);
  EXPECT_THROW(table->SetName(4, "Two\r\nlines"), ConduitError);
  EXPECT_EQ(table->Name(4), std::string(15, ' '));
}

TEST_F(CDtCategoriesTest, SaveReportsAFileThatCannotBeWritten) {
  CDtCategories table;
  table.Create(dir_.File("no-such-folder") + "/");
  table.SetName(0, "A");
  try {
    table.Save();
    ADD_FAILURE() << "no error";
  } catch (const ConduitError& e) {
    EXPECT_NE(std::string(e.what()).find("categories.txt"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace bolvarin
