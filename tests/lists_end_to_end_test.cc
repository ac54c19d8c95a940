// Categories and preference lists through the syncbolvarin host: a handheld
// image and a desktop folder, one run of each kind, and what both hold after.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Block;
using lists_testing::Lines;
using testing::ReadFile;
using testing::WriteFile;

TEST(ListsEndToEnd, EachKindOfRunLeavesBothSidesAsExpected) {
  testing::TempDir work;
  const std::string image = work.File("handheld.json"), desktop = work.File("desktop");
  const std::string settings = work.File("settings");
  FileSettings(settings).Set(kSettingsKey, "DEFINITIF", "OUI");  // nothing goes to the trash

  const std::string block = Block({"HM1", "HM2", "HM3"}, {"HT1"}, {"HD1", "HD2"});
  const std::string categories = "Food, 10,True\r\nCar, 11,False\r\n";
  const std::string mode = "DM1\r\n", type = "DT1\r\nDT2\r\n", desc = "DD1\r\n";
  struct Case {
    const char* type;
    const char* progress;  // the log line that names the run
    std::string slotsAfter, blockAfter, categoriesAfter, modeAfter, typeAfter, descAfter;
  } cases[] = {
      {"fast", "Fast Sync", "Home 1 T\nWork 2 F\n",
       Block({"DM1", "HM2", "HM3"}, {"DT1", "DT2"}, {"DD1", "HD2"}),
       "Home, 1,True\r\nCar, 11,False\r\n", Lines({"DM1", "HM2", "HM3"}), type,
       Lines({"DD1", "HD2"})},
      {"slow", "Slow Sync", "Home 1 T\nWork 2 F\n", block, categories, mode, type, desc},
      {"hh2pc", "Copy to PC", "Home 1 T\nWork 2 F\n", block, "Home, 1,True\r\nWork, 2,False\r\n",
       Lines({"HM1", "HM2", "HM3"}), Lines({"HT1"}), Lines({"HD1", "HD2"})},
      {"pc2hh", "Copy to kova", "Food 10 T\nWork 2 F\n", Block({"DM1"}, {"DT1", "DT2"}, {"DD1"}),
       categories, mode, type, desc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    std::filesystem::remove_all(desktop);
    std::filesystem::create_directories(desktop);
    lists_testing::MakeDevice(block, {{"Home", 1, true}, {"Work", 2, false}}).Save(image);
    WriteFile(desktop + "/categories.txt", categories);
    WriteFile(desktop + "/mode.txt", mode);
    WriteFile(desktop + "/type.txt", type);
    WriteFile(desktop + "/desc.txt", desc);

    auto result = testing::RunHost({"sync", "--handheld", image, "--desktop", desktop, "--type",
                                    c.type, "--settings", settings});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(std::string(" - Sync configured to ") + c.progress),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("Categories - "), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Preference - "), std::string::npos) << result.out;

    handheld::Device after = handheld::Device::Load(image);
    EXPECT_EQ(lists_testing::Slots(after, 2), c.slotsAfter);
    EXPECT_EQ(lists_testing::PreferenceText(after), c.blockAfter);
    EXPECT_EQ(ReadFile(desktop + "/categories.txt"), c.categoriesAfter);
    // Rewritten list files take the names "Mode.txt", "Type.txt", "Desc.txt"
    // in place of the old spelling; the others keep theirs.
    const bool rewritten = std::string(c.type) == "fast" || std::string(c.type) == "hh2pc";
    const std::string lists[][2] = {
        {"mode.txt", "Mode.txt"}, {"type.txt", "Type.txt"}, {"desc.txt", "Desc.txt"}};
    std::string contents;
    for (const auto& names : lists) {
      EXPECT_FALSE(std::filesystem::exists(desktop + "/" + names[rewritten ? 0 : 1])) << names[0];
      contents += ReadFile(desktop + "/" + names[rewritten ? 1 : 0]) + "|";
    }
    EXPECT_EQ(contents, c.modeAfter + "|" + c.typeAfter + "|" + c.descAfter + "|");
  }
}

// The handheld's longest lists go to the desktop and come back unchanged.
TEST(ListsEndToEnd, FullListsGoToTheDesktopAndBackUnchanged) {
  testing::TempDir work;
  const std::string image = work.File("handheld.json"), settings = work.File("settings");
  FileSettings(settings).Set(kSettingsKey, "DEFINITIF", "OUI");
  const std::string block =
      Block(lists_testing::Numbered("Mode ", 30), lists_testing::Numbered("Type ", 62),
            lists_testing::Numbered("Description ", 64));
  lists_testing::MakeDevice(block).Save(image);
  for (const char* type : {"hh2pc", "pc2hh"}) {
    auto result = testing::RunHost({"sync", "--handheld", image, "--desktop", work.path(), "--type",
                                    type, "--settings", settings});
    EXPECT_EQ(result.status, 0) << result.err;
  }
  EXPECT_EQ(ReadFile(work.File("Type.txt")), Lines(lists_testing::Numbered("Type ", 62)));
  EXPECT_EQ(lists_testing::PreferenceText(handheld::Device::Load(image)), block);
}

}  // namespace
}  // namespace bolvarin
