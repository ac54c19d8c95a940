// Category synchronisation in whole runs on the simulated handheld.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "lists/cdtcategories.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::Header;
using lists_testing::Ledger;
using lists_testing::RunSync;
using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Calls = std::vector<std::string>;

struct Slot {
  std::string name;
  int32_t id;
  bool dirty;
};

// The calls of the desktop-to-handheld pass when it copies `count` slots.
Calls PassCalls(int count) {
  Calls calls{"ResetDirtyFlags", "Commit"};
  for (int i = 0; i < count; ++i) {
    for (const char* what : {"Name ", "ID ", "Dirty "}) calls.push_back(what + std::to_string(i));
  }
  calls.push_back("LastIndex " + std::to_string(count - 1));
  calls.push_back("Commit");
  return calls;
}

class CategorySync : public ::testing::Test {
 protected:
  CategorySync() : block_(Block(Header(), {"Cash"}, {"Food"}, {"Rent"})) {
    device_ = lists_testing::MakeDevice(&block_);
  }

  void SetHandheld(const std::vector<Slot>& slots) {
    auto& categories = Ledger(device_).categories;
    for (size_t i = 0; i < slots.size(); ++i) {
      categories[i].name = slots[i].name;
      categories[i].id = slots[i].id;
      categories[i].dirty = slots[i].dirty;
    }
  }

  void ExpectHandheld(const std::vector<Slot>& slots) {
    const auto& categories = Ledger(device_).categories;
    for (size_t i = 0; i < slots.size(); ++i) {
      EXPECT_EQ(categories[i].name, slots[i].name) << "slot " << i;
      EXPECT_EQ(categories[i].id, slots[i].id) << "slot " << i;
      EXPECT_EQ(categories[i].dirty, slots[i].dirty) << "slot " << i;
    }
  }

  std::string CategoriesPath() const { return desktop_.File("categories.txt"); }
  void WriteCategories(const std::string& text) { WriteFile(CategoriesPath(), text); }
  std::string Categories() const { return ReadFile(CategoriesPath()); }

  lists_testing::RunResult Run(int32_t type) { return RunSync(device_, desktop_.path(), type); }

  std::string block_;
  handheld::Device device_;
  TempDir desktop_;
};

TEST_F(CategorySync, FastRunBringsChangedHandheldSlotsOverThenSendsTheDesktopRunBack) {
  SetHandheld({{"Home", 1, true}, {"Work", 2, false}, {"Gifts", 3, true}});
  WriteCategories("Food, 10,False\r\nCar, 11,True\r\nFun, 12,True\r\nPets, 13,True\r\n");
  auto result = Run(0);
  EXPECT_TRUE(result.LinesWith(" - SyncCategories - ").empty()) << result.AllLines();
  EXPECT_EQ(Categories(), "Home, 1,True\r\nCar, 11,True\r\nGifts, 3,True\r\nPets, 13,True\r\n");
  EXPECT_EQ(result.categoryCalls, PassCalls(4));
  ExpectHandheld({{"Home", 1, true},
                  {"Car", 11, true},
                  {"Gifts", 3, true},
                  {"Pets", 13, true},
                  {"", 0, false}});
  EXPECT_EQ(Ledger(device_).lastIndex, 3);
}

TEST_F(CategorySync, FastRunLeavesCleanSlotsOnTheirSide) {
  SetHandheld({{"Home", 1, false}, {"Work", 2, true}});
  WriteCategories("Food, 10,False\r\nCar, 11,False\r\n");
  auto result = Run(0);
  // The desktop's slot 0 is clean, so nothing goes back; Work came over.
  EXPECT_EQ(Categories(), "Food, 10,False\r\nWork, 2,True\r\n");
  EXPECT_EQ(result.categoryCalls, PassCalls(0));
  ExpectHandheld({{"Home", 1, false}, {"Work", 2, false}});
  EXPECT_EQ(Ledger(device_).lastIndex, -1);
}

TEST_F(CategorySync, SlowRunOnlyRewritesTheFileCanonically) {
  SetHandheld({{"Home", 1, true}});
  WriteCategories("  Travel ,5 , False \nHome,1,True");
  auto result = Run(1);
  EXPECT_EQ(Categories(), "Travel, 5,False\r\nHome, 1,True\r\n");
  EXPECT_TRUE(result.categoryCalls.empty());
  ExpectHandheld({{"Home", 1, true}});
  EXPECT_FALSE(Ledger(device_).lastIndex.has_value());
}

TEST_F(CategorySync, MissingFileIsCreatedFromTheRecoveryDefaults) {
  SetHandheld({{"Home", 1, true}});
  Run(1);
  ASSERT_TRUE(Exists(CategoriesPath()));
  EXPECT_EQ(Categories(), "");
}

TEST_F(CategorySync, CopyToDesktopTakesEverySlotWhateverItsFlag) {
  SetHandheld({{"Home", 1, false}, {"", 0, false}, {"Work", 2, true}});
  WriteCategories("A, 1,True\r\nB, 2,True\r\nC, 3,True\r\nD, 4,True\r\n");
  auto result = Run(2);
  EXPECT_TRUE(result.LinesWith(" - SyncCategories - ").empty()) << result.AllLines();
  // Slot 1 became free and writes no line; the old slot 3 was overwritten.
  EXPECT_EQ(Categories(), "Home, 1,False\r\nWork, 2,True\r\n");
  EXPECT_TRUE(result.categoryCalls.empty());
  ExpectHandheld({{"Home", 1, false}, {"", 0, false}, {"Work", 2, true}});
}

TEST_F(CategorySync, CopyToDesktopStopsAtAnIdentifierAboveAByteAndKeepsWhatItCopied) {
  SetHandheld({{"S0", 10, false},
               {"S1", 11, false},
               {"S2", 12, false},
               {"S3", 13, false},
               {"S4", 14, false},
               {"New", 300, true},
               {"S6", 16, false}});
  std::string old;
  for (int i = 0; i < 8; ++i)
    old += "Old" + std::to_string(i) + ", " + std::to_string(50 + i) + ",True\r\n";
  WriteCategories(old);
  auto result = Run(2);
  auto lines = result.LinesWith(" - SyncCategories - ");
  ASSERT_EQ(lines.size(), 1u) << result.AllLines();
  EXPECT_EQ(lines[0].rfind("SyncBolvarin - SyncCategories - ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("slot 5"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("300"), std::string::npos) << lines[0];
  EXPECT_EQ(Categories(),
            "S0, 10,False\r\nS1, 11,False\r\nS2, 12,False\r\nS3, 13,False\r\nS4, 14,False\r\n"
            "New, 55,True\r\nOld6, 56,True\r\nOld7, 57,True\r\n");
  // The run goes on with the records.
  EXPECT_EQ(result.LinesWith(" - Sync configured to Copy to PC").size(), 1u) << result.AllLines();
}

TEST_F(CategorySync, CopyToHandheldSendsTheLeadingRunOfChangedSlots) {
  std::string allDirty;
  for (int i = 0; i < 16; ++i)
    allDirty += "C" + std::to_string(i) + ", " + std::to_string(i + 100) + ",True\r\n";
  struct Case {
    const char* what;
    std::string file;
    int copied;
  } cases[] = {
      {"true, true, false, true", "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n", 2},
      {"slot 0 clean", "A, 1,False\r\nB, 2,True\r\n", 0},
      {"all sixteen dirty", allDirty, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    auto device = lists_testing::MakeDevice(&block_);
    auto& categories = Ledger(device).categories;
    for (int i = 0; i < 16; ++i) categories[i] = {"HH" + std::to_string(i), 40 + i, true};
    WriteFile(desktop.File("categories.txt"), c.file);

    auto result = RunSync(device, desktop.path(), 3);
    EXPECT_TRUE(result.LinesWith(" - SyncCategories - ").empty()) << result.AllLines();
    EXPECT_EQ(result.categoryCalls, PassCalls(c.copied));
    EXPECT_EQ(Ledger(device).lastIndex, c.copied - 1);

    CDtCategories table;  // what the desktop sent, read back
    table.Create(desktop.path() + "/");
    for (int16_t i = 0; i < 16; ++i) {
      const auto& slot = Ledger(device).categories[i];
      if (i < c.copied) {
        // The device keeps names without the desktop's padding.
        EXPECT_EQ(slot.name, TrimBlanks(table.Name(i))) << i;
        EXPECT_EQ(slot.id, table.ID(i)) << i;
        EXPECT_TRUE(slot.dirty) << i;
      } else {
        EXPECT_EQ(slot.name, "HH" + std::to_string(i)) << i;
        EXPECT_EQ(slot.id, 40 + i) << i;
        EXPECT_FALSE(slot.dirty) << i;  // every flag was reset first
      }
    }
    // The desktop's flags are never cleared.
    EXPECT_EQ(ReadFile(desktop.File("categories.txt")), c.file);
  }
}

TEST_F(CategorySync, UnreadableFileIsKeptAndNeitherSideChanges) {
  const std::string file = "A, 1,True\r\n\r\nB, 2,True\r\n";
  for (int32_t type : {0, 1, 2, 3}) {
    SCOPED_TRACE("sync type " + std::to_string(type));
    TempDir desktop;
    auto device = lists_testing::MakeDevice(&block_);
    auto& categories = Ledger(device).categories;
    categories[0] = {"Home", 1, true};
    categories[1] = {"Work", 2, false};
    const auto before = categories;
    const std::string path = desktop.File("categories.txt");
    WriteFile(path, file);

    auto result = RunSync(device, desktop.path(), type);
    auto lines = result.LinesWith(" - SyncCategories - ");
    ASSERT_EQ(lines.size(), 1u) << result.AllLines();
    EXPECT_NE(lines[0].find(path), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("line 2"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("empty line"), std::string::npos) << lines[0];
    EXPECT_EQ(ReadFile(path), file);
    EXPECT_TRUE(result.categoryCalls.empty());
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(Ledger(device).categories[i].name, before[i].name) << i;
      EXPECT_EQ(Ledger(device).categories[i].id, before[i].id) << i;
      EXPECT_EQ(Ledger(device).categories[i].dirty, before[i].dirty) << i;
    }
  }
}

}  // namespace
}  // namespace bolvarin
