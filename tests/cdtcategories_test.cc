// The desktop category table and its file "categories.txt".
#include "lists/cdtcategories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "base/error.h"
#include "base/mod_public.h"
#include "tests/env_guard.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using testing::ReadFile;

// What a call raises: "<number> <text>", or "" when it raises nothing.
template <class F>
std::string Raised(F call) {
  const testing::Raised r = testing::RaisedBy(call);
  return r.number == 0 ? "" : std::to_string(r.number) + " " + r.text;
}

// The slots that are not as a new table has them (blank, 0, clean), as
// "index:name,id" and T or F; a name not exactly 15 characters shows as "?".
std::string Dump(const CDtCategories& table) {
  std::string out;
  for (int16_t k = 0; k < 16; ++k) {
    std::string name = table.Name(k).size() == 15 ? table.Name(k) : "?";
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty() && table.ID(k) == 0 && !table.Dirty(k)) continue;
    out += (out.empty() ? "" : " ") + std::to_string(k) + ":" + name + "," +
           std::to_string(table.ID(k)) + (table.Dirty(k) ? "T" : "F");
  }
  return out;
}

class CDtCategoriesTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteDefinitively = true; }  // keep files out of the user's trash
  void TearDown() override { DeleteDefinitively = false; }

  // A table filled from `contents` (from the file as it is when none).
  std::unique_ptr<CDtCategories> Load(std::optional<std::string> contents = std::nullopt) {
    if (contents) testing::WriteFile(path_, *contents);
    auto table = std::make_unique<CDtCategories>();
    table->Create(dir_.path() + "/");
    return table;
  }

  testing::TempDir dir_;
  const std::string path_ = dir_.File("categories.txt");
  testing::ScopedEnv dataHome_{"XDG_DATA_HOME", dir_.File("data")};
  testing::ScopedEnv localAppData_{"LOCALAPPDATA", dir_.File("data")};  // the Windows build's
};

// What a missing or unreadable file gives: blank names with identifiers 0 to 15.
constexpr char kRecovery[] =
    "1:,1F 2:,2F 3:,3F 4:,4F 5:,5F 6:,6F 7:,7F 8:,8F 9:,9F 10:,10F 11:,11F 12:,12F 13:,13F 14:,14F "
    "15:,15F";

// A file that cannot be read gives the recovery defaults, a reason naming
// the file and the line, and stays as it is (a save and the release do not
// write it).
TEST_F(CDtCategoriesTest, ReadsTheFileOrFallsBackKeepingItByteForByte) {
  EXPECT_EQ(Dump(*Load()), kRecovery);
  EXPECT_EQ(ReadFile(path_), "");  // a missing file is created empty
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "C" + std::to_string(i) + ", 1,False\r\n";
  const struct {
    std::string file;
    const char* slots;
    const char* reason;  // how the reason starts after the path; "" when readable
  } cases[] = {
      {"Travel, 5,False\r\nB, 2, False \r\nC, 3,false\r\nD, 4,FALSE\r\nE, 5,0\r\nF, 6,\n",
       "0:Travel,5F 1:B,2F 2:C,3T 3:D,4T 4:E,5T 5:F,6T", ""},
      {"   Home   ,  12  , True\rX,007,False\rY, 0,False\rZ, 255,False",
       "0:Home,12T 1:X,7F 2:Y,0F 3:Z,255F", ""},
      {"Abcdefghijklmnopqrst, 4,False\r\nFood, drink, 7,True\r\n\r\n\r\n",
       "0:Abcdefghijklmno,4F 1:Food, drink,7T", ""},
      {"", "", ""},
      {sixteen + "Extra, 99,False\r\n", kRecovery, ", line 17: more than 16 lines"},
      {"A, 1,False\r\nNoCommaHere\r\n", kRecovery, ", line 2: \"NoCommaHere\" is not"},
      {"Single, 5\r\n", kRecovery, ", line 1: \"Single, 5\" is not"},
      {"A, 256,False\r\n", kRecovery, ", line 1: the identifier \" 256\""},
      {"A, -1,False\r\n", kRecovery, ", line 1: the identifier \" -1\""},
      {"A, ,False\r\n", kRecovery, ", line 1: the identifier \" \""},
      {"A, 1,False\r\n\r\nB, 2,False\r\n", kRecovery, ", line 2: empty line"},
      {std::string("A, 1,False\r\nB\0, 2,False\r\n", 25), kRecovery,
       ", line 2: the name holds the character 0"},
  };
  for (const auto& [file, slots, reason] : cases) {
    auto table = Load(file);
    EXPECT_EQ(Dump(*table), slots) << file;
    const std::string failure = table->LoadFailure();
    EXPECT_EQ(*reason ? failure.rfind(path_ + reason, 0) : failure.size(), 0u) << failure;
    table->SetName(0, "Changed");
    table->Save();
    table.reset();
    EXPECT_EQ(*reason ? ReadFile(path_) : file, file);  // an unreadable file is kept
  }
}

TEST_F(CDtCategoriesTest, ReleaseWritesUsedSlotsCanonically) {
  // (A file rewritten in its canonical form shows in the slow category run.)
  testing::TempDir other;
  {
    auto table = Load("Travel, 5,True\r\nHome, 12,True\r\nWork, 3,False\r\n");
    table->Create(other.path() + "/");  // a second Create does nothing
    table->ResetDirtyFlags();
    table->SetName(1, "   ");  // slot 1 becomes free: no line, whatever its flag
    table->SetDirty(1, true);
    table->SetName(5, "A very long category name");
    table->SetName(6, "Food, drink");
    table->SetID(6, 200);
    table->SetDirty(6, true);
  }
  EXPECT_EQ(ReadFile(path_),
            "Travel, 5,False\r\nWork, 3,False\r\nA very long cat, 0,False\r\n"
            "Food, drink, 200,True\r\n");
  EXPECT_FALSE(testing::Exists(other.File("categories.txt")));
}

TEST_F(CDtCategoriesTest, RefusedCalls) {
  auto table = Load();
  for (int16_t bad : {int16_t(-1), int16_t(16)}) {
    for (const std::string& raised :
         {Raised([&] { table->Name(bad); }), Raised([&] { table->SetName(bad, "X"); }),
          Raised([&] { table->ID(bad); }), Raised([&] { table->SetID(bad, 7); }),
          Raised([&] { table->Dirty(bad); }), Raised([&] { table->SetDirty(bad, false); })})
      EXPECT_EQ(raised.substr(0, 2), "9 ") << bad << raised;
  }
  for (const std::string& name : {std::string("Two\r\nlines"), std::string("Nul\0", 4)})
    EXPECT_EQ(Raised([&] { table->SetName(4, name); }).substr(0, 2), "5 ") << name;
  EXPECT_EQ(Dump(*table), kRecovery);

  // A table that cannot be written is kept in the user's data folder, and
  // the error says where.
  CDtCategories unwritable;
  unwritable.Create(dir_.File("no-such-folder") + "/");
  unwritable.SetName(2, "Kept");
  // Either separator will do in the paths compared.
  auto slashes = [](std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
  };
  const std::string raised = slashes(Raised([&] { unwritable.Save(); }));
  const std::string keptIn =
      slashes(dir_.File("data/syncbolvarin/unsaved/categories.txt.unsaved-"));
  const size_t at = raised.find(keptIn);
  ASSERT_NE(at, std::string::npos) << raised;
  EXPECT_NE(raised.find("Cannot write \"" + slashes(dir_.File("no-such-folder/categories.txt"))),
            std::string::npos);
  EXPECT_EQ(testing::ReadFile(raised.substr(at, raised.find('"', at) - at)), "Kept, 2,False\r\n");
}

}  // namespace
}  // namespace bolvarin
