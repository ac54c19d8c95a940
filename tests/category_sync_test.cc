// Category synchronisation in whole runs on the simulated handheld.
#include <gtest/gtest.h>

#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::Slots;
using lists_testing::Texts;

// The calls of the desktop-to-handheld pass when it copies `count` slots.
Texts PassCalls(int count) {
  Texts calls{"ResetDirtyFlags", "Commit"};
  for (int i = 0; i < count; ++i) {
    for (const char* what : {"Name ", "ID ", "Dirty "}) calls.push_back(what + std::to_string(i));
  }
  calls.push_back("LastIndex " + std::to_string(count - 1));
  calls.push_back("Commit");
  return calls;
}

constexpr int kNoPass = -2;

TEST(CategorySync, EachKindOfRun) {
  std::vector<handheld::Category> hh16;
  std::string dirty16;
  for (int i = 0; i < 16; ++i) {
    hh16.push_back({"HH" + std::to_string(i), 40 + i, true});
    dirty16 += "C" + std::to_string(i) + ", " + std::to_string(i + 100) + ",True\r\n";
  }
  struct Case {
    const char* what;
    int32_t type;
    std::vector<handheld::Category> handheld;
    std::string file, fileAfter;
    std::string slotsAfter;  // the handheld's first three slots
    int copiedBack;          // slots the desktop-to-handheld pass copies, or kNoPass
    const char* error;       // a piece of the one SyncCategories log line
  } cases[] = {
      {"fast: changed handheld slots over, then the desktop's changed run back",
       0,
       {{"Home", 1, true}, {"Work", 2, false}, {"Gifts", 3, true}},
       "Food, 10,False\r\nCar, 11,True\r\nFun, 12,True\r\n",
       "Home, 1,True\r\nCar, 11,True\r\nGifts, 3,True\r\n",
       "Home 1 T\nCar 11 T\nGifts 3 T\n",
       3,
       ""},
      {"fast: clean slots stay on their side",
       0,
       {{"Home", 1, false}, {"Work", 2, true}},
       "Food, 10,False\r\nCar, 11,False\r\n",
       "Food, 10,False\r\nWork, 2,True\r\n",
       "Home 1 F\nWork 2 F\n 0 F\n",
       0,
       ""},
      {"slow: the file is only rewritten",
       1,
       {{"Home", 1, true}},
       "  Travel ,5 , False \nHome,1,True",
       "Travel, 5,False\r\nHome, 1,True\r\n",
       "Home 1 T\n 0 F\n 0 F\n",
       kNoPass,
       ""},
      {"copy to desktop: every slot whatever its flag",
       2,
       {{"Home", 1, false}, {"", 0, false}, {"Work", 2, true}},
       "A, 1,True\r\nB, 2,True\r\nC, 3,True\r\nD, 4,True\r\n",
       "Home, 1,False\r\nWork, 2,True\r\n",
       "Home 1 F\n 0 F\nWork 2 T\n",
       kNoPass,
       ""},
      {"copy to desktop: identifier 300 leaves the desktop as it was",
       2,
       {{"S0", 10, false}, {"New", 300, false}, {"S2", 12, false}},
       "Old0, 50,True\r\nOld1, 51,True\r\nOld2, 52,True\r\n",
       "Old0, 50,True\r\nOld1, 51,True\r\nOld2, 52,True\r\n",
       "S0 10 F\nNew 300 F\nS2 12 F\n",
       kNoPass,
       "handheld category slot 1: identifier 300 is outside 0 to 255"},
      {"fast: identifier 300 in a changed slot leaves both sides as they were",
       0,
       {{"S0", 10, true}, {"New", 300, true}},
       "Old0, 50,True\r\nOld1, 51,True\r\n",
       "Old0, 50,True\r\nOld1, 51,True\r\n",
       "S0 10 T\nNew 300 T\n 0 F\n",
       kNoPass,
       "handheld category slot 1: identifier 300 is outside 0 to 255"},
      {"copy to handheld: the leading run of changed slots", 3, hh16,
       "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n",
       "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n", "A 1 T\nB 2 T\nHH2 42 F\n", 2, ""},
      {"copy to handheld: slot 0 clean", 3, hh16, "A, 1,False\r\nB, 2,True\r\n",
       "A, 1,False\r\nB, 2,True\r\n", "HH0 40 F\nHH1 41 F\nHH2 42 F\n", 0, ""},
      {"copy to handheld: all sixteen", 3, hh16, dirty16, dirty16, "C0 100 T\nC1 101 T\nC2 102 T\n",
       16, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir desktop;
    auto device = lists_testing::MakeDevice(Block({}, {}, {}), c.handheld);
    testing::WriteFile(desktop.File("categories.txt"), c.file);
    auto result = lists_testing::RunSync(device, desktop.path(), c.type);
    EXPECT_EQ(
        result.LinesWith(" - SyncCategories - "),
        *c.error ? Texts{"SyncBolvarin - SyncCategories - " + std::string(c.error)} : Texts{});
    EXPECT_EQ(testing::ReadFile(desktop.File("categories.txt")), c.fileAfter);
    EXPECT_EQ(Slots(device, 3), c.slotsAfter);
    EXPECT_EQ(result.categoryCalls, c.copiedBack == kNoPass ? Texts{} : PassCalls(c.copiedBack));
    EXPECT_EQ(device.databases[0].lastIndex,
              c.copiedBack == kNoPass ? std::nullopt : std::optional(c.copiedBack - 1));
  }
}

// An unreadable categories.txt is left as it is and neither side's
// categories change, whatever the run.
// A name the handheld cannot store (a 0 byte) makes the file unreadable, so
// it never reaches the handheld and the image still loads after the run.
TEST(CategorySync, UnreadableFileIsKeptAndNeitherSideChanges) {
  const std::string file("A\0B, 1,True\r\nC, 2,True\r\n", 24);
  const std::string reason = ", line 1: the name holds the character 0";
  for (int32_t type : {0, 1, 2, 3}) {
    SCOPED_TRACE("sync type " + std::to_string(type));
    testing::TempDir desktop;
    auto device =
        lists_testing::MakeDevice(Block({}, {}, {}), {{"Home", 1, true}, {"W", 2, false}});
    const std::string path = testing::NativePath(desktop.path(), "categories.txt");
    testing::WriteFile(path, file);
    auto result = lists_testing::RunSync(device, desktop.path(), type);
    auto lines = result.LinesWith(" - SyncCategories - ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(path + reason), std::string::npos) << lines[0];
    EXPECT_EQ(testing::ReadFile(path), file);
    EXPECT_EQ(result.categoryCalls, Texts{});
    EXPECT_EQ(Slots(device, 3), "Home 1 T\nW 2 F\n 0 F\n");
    EXPECT_NO_THROW(handheld::Device::FromJson(device.ToJson(), "image"));
  }
}

}  // namespace
}  // namespace bolvarin
