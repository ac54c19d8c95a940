// Categories and preference lists through the syncbolvarin host: a handheld
// image and a desktop folder, one run of each kind, and what both hold after.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/settings.h"
#include "config/settings_file.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::Header;
using lists_testing::Ledger;
using lists_testing::Lines;
using lists_testing::Numbered;
using lists_testing::PreferenceText;
using testing::ReadFile;
using testing::RunHost;
using testing::TempDir;
using testing::WriteFile;
using Texts = std::vector<std::string>;

struct Slot {
  std::string name;
  int32_t id;
  bool dirty;
};

class ListsEndToEnd : public ::testing::Test {
 protected:
  ListsEndToEnd()
      : desktop_(work_.path() + "/desktop"),
        image_(work_.File("handheld.json")),
        settings_(work_.File("settings")) {
    FileSettings(settings_).Set(kSettingsKey, "DEFINITIF", "OUI");
  }

  void SaveDevice(const std::string& block, const std::vector<Slot>& slots) {
    handheld::Device device = lists_testing::MakeDevice(&block);
    auto& categories = Ledger(device).categories;
    for (size_t i = 0; i < slots.size(); ++i) {
      categories[i] = {slots[i].name, slots[i].id, slots[i].dirty};
    }
    device.Save(image_);
  }

  handheld::Device LoadDevice() { return handheld::Device::Load(image_); }

  testing::HostResult Sync(const std::string& type) {
    auto result = RunHost({"sync", "--handheld", image_, "--desktop", desktop_, "--type", type,
                           "--settings", settings_});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    return result;
  }

  std::string Desktop(const std::string& name) const { return desktop_ + "/" + name; }

  TempDir work_;
  std::string desktop_;
  std::string image_;
  std::string settings_;
};

TEST_F(ListsEndToEnd, EachKindOfRunLeavesBothSidesAsExpected) {
  const std::string header = Header();
  const std::string block = Block(header, {"HM1", "HM2", "HM3"}, {"HT1"}, {"HD1", "HD2"});
  const std::vector<Slot> handheld{{"Home", 1, true}, {"Work", 2, false}};
  const std::string categories = "Food, 10,True\r\nCar, 11,False\r\n";
  const std::string modeFile = "DM1\r\n", typeFile = "DT1\r\nDT2\r\n", descFile = "DD1\r\n";

  struct Case {
    const char* type;
    std::vector<Slot> handheldAfter;
    std::string blockAfter;
    std::string categoriesAfter;
    std::string modeAfter, typeAfter, descAfter;
    const char* progress;
  } cases[] = {
      {"fast",
       {{"Home", 1, true}, {"Work", 2, false}},
       Block(header, {"DM1", "HM2", "HM3"}, {"DT1", "DT2"}, {"DD1", "HD2"}),
       "Home, 1,True\r\nCar, 11,False\r\n",
       Lines({"DM1", "HM2", "HM3"}),
       Lines({"DT1", "DT2"}),
       Lines({"DD1", "HD2"}),
       " - Sync configured to Fast Sync"},
      {"slow", handheld, block, categories, modeFile, typeFile, descFile,
       " - Sync configured to Slow Sync"},
      {"hh2pc", handheld, block, "Home, 1,True\r\nWork, 2,False\r\n", Lines({"HM1", "HM2", "HM3"}),
       Lines({"HT1"}), Lines({"HD1", "HD2"}), " - Sync configured to Copy to PC"},
      {"pc2hh",
       {{"Food", 10, true}, {"Work", 2, false}},
       Block(header, {"DM1"}, {"DT1", "DT2"}, {"DD1"}),
       categories,
       modeFile,
       typeFile,
       descFile,
       " - Sync configured to Copy to kova"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    std::filesystem::remove_all(desktop_);
    std::filesystem::create_directories(desktop_);
    SaveDevice(block, handheld);
    WriteFile(Desktop("categories.txt"), categories);
    WriteFile(Desktop("mode.txt"), modeFile);
    WriteFile(Desktop("type.txt"), typeFile);
    WriteFile(Desktop("desc.txt"), descFile);

    auto result = Sync(c.type);
    EXPECT_NE(result.out.find(c.progress), std::string::npos) << result.out;
    for (const char* failure : {" - SyncCategories - ", "Preference - "}) {
      EXPECT_EQ(result.out.find(failure), std::string::npos) << result.out;
    }

    handheld::Device after = LoadDevice();
    EXPECT_EQ(PreferenceText(after), c.blockAfter);
    for (size_t i = 0; i < c.handheldAfter.size(); ++i) {
      const auto& slot = Ledger(after).categories[i];
      EXPECT_EQ(slot.name, c.handheldAfter[i].name) << "slot " << i;
      EXPECT_EQ(slot.id, c.handheldAfter[i].id) << "slot " << i;
      EXPECT_EQ(slot.dirty, c.handheldAfter[i].dirty) << "slot " << i;
    }
    EXPECT_EQ(ReadFile(Desktop("categories.txt")), c.categoriesAfter);
    EXPECT_EQ(ReadFile(Desktop("mode.txt")), c.modeAfter);
    EXPECT_EQ(ReadFile(Desktop("type.txt")), c.typeAfter);
    EXPECT_EQ(ReadFile(Desktop("desc.txt")), c.descAfter);
  }
}

TEST_F(ListsEndToEnd, CopyingToTheDesktopAndBackKeepsTheHandheldLists) {
  const std::string block =
      Block(Header(), Numbered("Mode ", 30), Numbered("Type ", 62), Numbered("Description ", 64));
  SaveDevice(block, {{"Home", 1, true}, {"Work", 2, true}, {"Gifts", 3, false}});
  std::filesystem::create_directories(desktop_);
  Sync("hh2pc");
  EXPECT_EQ(ReadFile(Desktop("Type.txt")), Lines(Numbered("Type ", 62)));
  Sync("pc2hh");
  handheld::Device after = LoadDevice();
  EXPECT_EQ(PreferenceText(after), block);
  // The desktop sends its leading run of changed slots back unchanged.
  EXPECT_EQ(Ledger(after).categories[0].name, "Home");
  EXPECT_EQ(Ledger(after).categories[1].name, "Work");
  EXPECT_EQ(Ledger(after).categories[2].name, "Gifts");
  EXPECT_EQ(ReadFile(Desktop("categories.txt")),
            "Home, 1,True\r\nWork, 2,True\r\nGifts, 3,False\r\n");
}

TEST_F(ListsEndToEnd, UnreadableCategoryFileSurvivesARun) {
  const std::string block = Block(Header(), {"HM1"}, {"HT1"}, {"HD1"});
  SaveDevice(block, {{"Home", 1, true}});
  std::filesystem::create_directories(desktop_);
  const std::string categories = "Food, 10,True\r\nCar, eleven,False\r\n";
  WriteFile(Desktop("categories.txt"), categories);
  auto result = Sync("fast");
  EXPECT_NE(result.out.find(" - SyncCategories - "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("line 2"), std::string::npos) << result.out;
  EXPECT_EQ(ReadFile(Desktop("categories.txt")), categories);
  handheld::Device after = LoadDevice();
  EXPECT_EQ(Ledger(after).categories[0].name, "Home");
  EXPECT_TRUE(Ledger(after).categories[0].dirty);
  // The rest of the run goes on: the lists are merged.
  EXPECT_EQ(ReadFile(Desktop("Mode.txt")), "HM1\r\n");
}

}  // namespace
}  // namespace bolvarin
