// The desktop category table and its file "categories.txt", the three
// preference lists (the block, the list files and their exchange with the
// handheld) and the category synchronisation, in whole runs on the simulated
// handheld for the kinds of run that touch them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <span>
#include <sstream>
#include <tuple>

#include "base/error.h"
#include "base/host_events.h"
#include "base/mod_public.h"
#include "base/text.h"
#include "conduit/cnotify.h"
#include "lists/cdtcategories.h"
#include "lists/preference_lists.h"
#include "os/files.h"
#include "tests/lists_test_support.h"
#include "tests/test_trash.h"

namespace bolvarin {
namespace {

using lists_testing::Lines;
using lists_testing::Texts;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

using testing::RaisedBy;

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
    table->Create(dir_.File("elsewhere") + "/");  // a second Create does nothing
    EXPECT_EQ(Dump(*table), slots) << file;
    const std::string failure = table->LoadFailure();
    EXPECT_EQ(*reason ? failure.rfind(path_ + reason, 0) : failure.size(), 0u) << failure;
    table->SetName(0, "Changed");
    table->Save();
    table.reset();
    EXPECT_EQ(*reason ? ReadFile(path_) : file, file);  // an unreadable file is kept
  }
}

TEST_F(CDtCategoriesTest, RefusedCalls) {
  auto table = Load();
  for (int16_t bad : {int16_t(-1), int16_t(16)}) {
    for (int32_t number :
         {RaisedBy([&] { table->Name(bad); }).number,
          RaisedBy([&] { table->SetName(bad, "X"); }).number,
          RaisedBy([&] { table->ID(bad); }).number, RaisedBy([&] { table->SetID(bad, 7); }).number,
          RaisedBy([&] { table->Dirty(bad); }).number,
          RaisedBy([&] { table->SetDirty(bad, false); }).number})
      EXPECT_EQ(number, 9) << bad;
  }
  for (const std::string& name : {std::string("Two\r\nlines"), std::string("Nul\0", 4)})
    EXPECT_EQ(RaisedBy([&] { table->SetName(4, name); }).number, 5) << name;
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
  const std::string raised = slashes(RaisedBy([&] { unwritable.Save(); }).text);
  const std::string keptIn =
      slashes(dir_.File("data/syncbolvarin/unsaved/categories.txt.unsaved-"));
  const size_t at = raised.find(keptIn);
  ASSERT_NE(at, std::string::npos) << raised;
  EXPECT_NE(raised.find("Cannot write \"" + slashes(dir_.File("no-such-folder/categories.txt"))),
            std::string::npos);
  EXPECT_EQ(testing::ReadFile(raised.substr(at, raised.find('"', at) - at)), "Kept, 2,False\r\n");
}

// A 24-byte preference header with 0 bytes and high bytes in it, so a header
// that is not carried over whole shows.
const std::string kHeader(
    "\0\xA1\xA2\0\xA4\xA5\0\xA7\xA8\0\xAA\xAB\0\xAD\xAE\0\xB0\xB1\0\xB3\xB4\0\xB6\xB7", 24);

// A preference block as the handheld application lays it out: the header,
// then each list as entries ended by 0 and a 0 ending the list (a list of
// 63 types has no ending 0), then the final 0.
std::string Block(const Texts& modes, const Texts& types, const Texts& descs,
                  const std::string& header = kHeader) {
  std::string block = header;
  for (const Texts* list : {&modes, &types, &descs}) {
    for (const auto& entry : *list) block += entry + '\0';
    if (list != &types || types.size() != 63) block += '\0';
  }
  return block + '\0';
}

// "prefix1", "prefix2", ...
Texts Numbered(const std::string& prefix, int count) {
  Texts out;
  for (int i = 1; i <= count; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

// Category slots as "name id T|F" lines, the dirty flag last: the first
// `count` slots of the handheld, or the slots a text gives.
std::string Slots(const handheld::Device& device, size_t count) {
  std::string out;
  for (const auto& slot : std::span(device.databases[0].categories).first(count))
    out += slot.name + " " + std::to_string(slot.id) + (slot.dirty ? " T\n" : " F\n");
  return out;
}
std::vector<handheld::Category> Slots(const std::string& text) {
  std::vector<handheld::Category> slots;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t flag = line.rfind(' '), id = line.rfind(' ', flag - 1);
    slots.push_back({line.substr(0, id), std::stoi(line.substr(id + 1)), line.back() == 'T'});
  }
  return slots;
}

std::string PreferenceText(const handheld::Device& device) {
  return std::string(device.preferences[0].data.begin(), device.preferences[0].data.end());
}

// What one run left behind besides the device and the files.
struct RunResult {
  std::vector<handheld::LogEntry> log;
  Texts categoryCalls;

  // The log lines that contain `piece`.
  Texts LinesWith(const std::string& piece) const {
    Texts out;
    for (const auto& entry : log)
      if (entry.text.find(piece) != std::string::npos) out.push_back(entry.text);
    return out;
  }
};

// One whole run of `syncType` over `device`, with the desktop folder
// `desktop`, as the sync manager starts it; the platform operation
// `failing` (when not empty) raises. Replaced files are deleted for good,
// so the tests leave nothing in the user's trash.
RunResult RunSync(handheld::Device& device, const std::string& desktop, int32_t syncType,
                  const std::string& failing = "") {
  testing::TempDir dir;
  lists_testing::ScopedSettings settings(dir.File("settings"));
  settings.file.Set(kSettingsKey, "DEFINITIF", "OUI");
  handheld::SimPlatform platform(device, {syncType, desktop});
  if (!failing.empty()) platform.FailOperation(failing);
  CNotify(platform).BeginProcess();
  return {platform.log(), platform.categoryCalls()};
}

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
      {kHeader + std::string("A\0B\0\0T\0\0D\0\0", 12), "A\r\nB\r\n|T\r\n|D\r\n|"},  // no final 0
      {kHeader + std::string("A\0", 2), "A\r\n|||"},
      {kHeader + std::string("\0\0\0junk", 7), "|||"},
  };
  testing::YieldCounter yields;
  for (const auto& [block, lists] : cases) {
    ParsePreferenceBlock(block, false);
    EXPECT_EQ(Parsed(), lists);
  }
  EXPECT_EQ(yields.count, 0);  // only when asked, then after each entry and each list end
  ParsePreferenceBlock(Block({"A", "B"}, {"T"}, {}), true);
  EXPECT_EQ(yields.count, 6);
}

// What the block or a list file cannot hold is refused, naming where it is.
TEST(PreferencesFiles, RefusesWhatTheOtherSideCannotHold) {
  // (An entry without its ending 0, and a list file holding one, show in the runs below.)
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] {
         BuildPreferenceBlock(kHeader, {"A", ""}, {}, {});
       },
       "entry 2 of the mode list is empty"},
      {[] { BuildPreferenceBlock(kHeader, {}, {std::string("a\0b", 3)}, {}); },
       "entry 1 of the type list holds a 0 byte"},
      {[] { BuildPreferenceBlock(kHeader, {}, Numbered("T", 64), {}); }, "64 entries"},
  };
  for (const auto& [call, piece] : cases) {
    EXPECT_NE(testing::RaisedBy(call).text.find(piece), std::string::npos) << piece;
  }
}

TEST(PreferencesFiles, WrittenFileReplacesTheOldSafely) {
  // (What is cut to each file's limit shows in the runs below.)
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
  Texts types62 = Numbered("L", 61), desc70 = Numbered("L", 70);
  types62.insert(types62.begin(), " Food ");  // blanks stay
  merged.push_back("T63");
  const Texts oldKept{"Old\r\n", "Kept\n", kNone}, three{"Cash\r\n", "Food\r\n", "Rent\r\n"};
  const Texts fiveModes{"Cash", "Card", "Cheque", "Transfer", "Direct debit"};
  const std::string padded = shortBlock + std::string(19, '\0');
  struct Case {
    std::string what;
    int32_t type;
    std::string block;
    Texts files;
    const char* failing;  // the platform operation made to fail
    const char* log;      // a piece of the one "Preference - " log line, "" for none
    std::string blockAfter = "";
    Texts filesAfter = {};
  };
  std::vector<Case> cases = {
      {"save cuts on the desktop only", 2, Block({m40, "Cash"}, {"Food", t31}, {d90}),
       Texts{"old\r\n", kNone, kNone}, "", "", "",
       Texts{Lines({m40.substr(10), "Cash"}), Lines({"Food", t31.substr(1)}),
             Lines({d90.substr(10)})}},
      {"save of empty lists", 2, Block({}, {}, {}), Texts{kNone, "Food\r\n", kNone}, "", "", "",
       Texts{"", "", ""}},
      {"save of a block without any 0", 2, kHeader + "CashCard", oldKept, "",
       "SavePreference - preference block: entry 1 of the mode list, at byte 24, has no ending 0 "
       "byte"},
      {"save of an unreadable preference", 2, old, oldKept, "ReadPreference", "SavePreference - "},
      {"restore: empty lines skipped, each list cut to its limit", 3, old,
       Texts{Lines(modes35), " Food \r\n\r\n" + Lines(Numbered("L", 70)), "\r\n" + Lines(desc70)},
       "", "", Block(Texts(modes35.begin(), modes35.begin() + 30), types62, Numbered("L", 64))},
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
       "type.txt, line 2: holds a 0 byte"},
  };
  // Fast run: line i of mode.txt replaces entry i of the modes, further lines
  // are appended, further entries stay; a missing file leaves its list as it
  // is. Both sides get the merged lists.
  const std::string longLine(45, 'L');
  Texts fortyMerged = Numbered("H", 40);
  for (int i = 0; i < 10; ++i) fortyMerged[i] = "F" + std::to_string(i + 1);
  for (const auto& [handheld, file, merged] : std::vector<std::tuple<Texts, std::string, Texts>>{
           {{"A", "B", "C"}, "X\r\n", {"X", "B", "C"}},
           {{"A"}, "X\r\nY\r\nZ\r\n", {"X", "Y", "Z"}},
           {{"A", "B"}, kNone, {"A", "B"}},
           {Numbered("H", 5), Lines(Numbered("F", 40)), Numbered("F", 30)},
           {Numbered("H", 40), Lines(Numbered("F", 10)), fortyMerged},
           {{"A"}, Lines({longLine}), {longLine}},  // whole on the handheld, cut on the desktop
           {{"A", "B", "C"}, "\r\nX\r\n\r\nY\r\n", {"X", "Y", "C"}}}) {
    std::string modeFile;  // entries cut to 30 characters
    for (const auto& entry : merged) modeFile += entry.substr(0, 30) + "\r\n";
    cases.push_back(Case{"merge by position of " + file, 0, Block(handheld, {"Food"}, {"Rent"}),
                         Texts{file, kNone, kNone}, "", "", Block(merged, {"Food"}, {"Rent"}),
                         Texts{modeFile, "Food\r\n", "Rent\r\n"}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const char* names[] = {"mode.txt", "type.txt", "desc.txt"};
    for (int i = 0; i < 3; ++i)
      if (c.files[i] != kNone) WriteFile(desktop.File(names[i]), c.files[i]);
    auto device = lists_testing::MakeDevice(c.block);
    auto result = RunSync(device, desktop.path(), c.type, c.failing);
    auto lines = result.LinesWith("Preference - ");
    ASSERT_EQ(lines.size(), *c.log ? 1u : 0u) << ::testing::PrintToString(lines);
    // The file's name as the system spells it: "type.txt" here, "Type.txt" on Windows.
    for (const auto& line : lines)
      EXPECT_NE(UpperAscii(line).find(UpperAscii(c.log)), std::string::npos) << line;
    EXPECT_EQ(PreferenceText(device), c.blockAfter.empty() ? c.block : c.blockAfter);
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

// Each kind of run over the handheld's slots (as Slots() writes them) and
// categories.txt. An unreadable file is left as it is and neither side's
// categories change, whatever the run: a name the handheld cannot store (a
// 0 byte) makes the file unreadable, so it never reaches the handheld.
TEST(CategorySync, EachKindOfRun) {
  std::string hh16, dirty16;
  for (int i = 0; i < 16; ++i) {
    hh16 += "HH" + std::to_string(i) + " " + std::to_string(40 + i) + " T\n";
    dirty16 += "C" + std::to_string(i) + ", " + std::to_string(i + 100) + ",True\r\n";
  }
  const std::string bad("A\0B, 1,True\r\nC, 2,True\r\n", 24), badSlots = "Home 1 T\nW 2 F\n 0 F\n";
  const char* const unreadable = ", line 1: the name holds the character 0";
  const char* const over255 = "handheld category slot 1: identifier 300 is outside 0 to 255";
  struct Case {
    std::string what;
    int32_t type;
    std::string handheld, file, fileAfter;
    std::string slotsAfter;  // the handheld's first three slots
    int copiedBack;          // slots the desktop-to-handheld pass copies, or kNoPass
    const char* error;       // a piece of the one SyncCategories log line
  } cases[] = {
      {"fast: changed handheld slots over, then the desktop's changed run back", 0,
       "Home 1 T\nWork 2 F\nGifts 3 T\n", "Food, 10,False\r\nCar, 11,True\r\nFun, 12,True\r\n",
       "Home, 1,True\r\nCar, 11,True\r\nGifts, 3,True\r\n", "Home 1 T\nCar 11 T\nGifts 3 T\n", 3,
       ""},
      {"fast: clean slots stay on their side", 0, "Home 1 F\nWork 2 T\n",
       "Food, 10,False\r\nCar, 11,False\r\n", "Food, 10,False\r\nWork, 2,True\r\n",
       "Home 1 F\nWork 2 F\n 0 F\n", 0, ""},
      {"slow: the file is only rewritten", 1, "Home 1 T\n", "  Travel ,5 , False \nHome,1,True",
       "Travel, 5,False\r\nHome, 1,True\r\n", "Home 1 T\n 0 F\n 0 F\n", kNoPass, ""},
      {"copy to desktop: every slot whatever its flag", 2, "Home 1 F\n 0 F\nWork 2 T\n",
       "A, 1,True\r\nB, 2,True\r\nC, 3,True\r\nD, 4,True\r\n", "Home, 1,False\r\nWork, 2,True\r\n",
       "Home 1 F\n 0 F\nWork 2 T\n", kNoPass, ""},
      {"copy to desktop: identifier 300 leaves the desktop as it was", 2,
       "S0 10 F\nNew 300 F\nS2 12 F\n", "Old0, 50,True\r\nOld1, 51,True\r\nOld2, 52,True\r\n",
       "Old0, 50,True\r\nOld1, 51,True\r\nOld2, 52,True\r\n", "S0 10 F\nNew 300 F\nS2 12 F\n",
       kNoPass, over255},
      {"fast: identifier 300 in a changed slot leaves both sides as they were", 0,
       "S0 10 T\nNew 300 T\n", "Old0, 50,True\r\nOld1, 51,True\r\n",
       "Old0, 50,True\r\nOld1, 51,True\r\n", "S0 10 T\nNew 300 T\n 0 F\n", kNoPass, over255},
      {"copy to handheld: the leading run of changed slots", 3, hh16,
       "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n",
       "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n", "A 1 T\nB 2 T\nHH2 42 F\n", 2, ""},
      {"copy to handheld: slot 0 clean", 3, hh16, "A, 1,False\r\nB, 2,True\r\n",
       "A, 1,False\r\nB, 2,True\r\n", "HH0 40 F\nHH1 41 F\nHH2 42 F\n", 0, ""},
      {"copy to handheld: all sixteen", 3, hh16, dirty16, dirty16, "C0 100 T\nC1 101 T\nC2 102 T\n",
       16, ""},
      {"fast, unreadable file", 0, badSlots, bad, bad, badSlots, kNoPass, unreadable},
      {"slow, unreadable file", 1, badSlots, bad, bad, badSlots, kNoPass, unreadable},
      {"copy to desktop, unreadable file", 2, badSlots, bad, bad, badSlots, kNoPass, unreadable},
      {"copy to handheld, unreadable file", 3, badSlots, bad, bad, badSlots, kNoPass, unreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir desktop;
    auto device = lists_testing::MakeDevice(Block({}, {}, {}), Slots(c.handheld));
    const std::string path = testing::NativePath(desktop.path(), "categories.txt");
    WriteFile(path, c.file);
    auto result = RunSync(device, desktop.path(), c.type);
    const Texts lines = result.LinesWith(" - SyncCategories - ");
    ASSERT_EQ(lines.size(), *c.error ? 1u : 0u);
    for (const auto& line : lines) {
      EXPECT_NE(line.find((c.error == unreadable ? path : "") + c.error), std::string::npos)
          << line;
    }
    EXPECT_EQ(ReadFile(path), c.fileAfter);
    EXPECT_EQ(Slots(device, 3), c.slotsAfter);
    EXPECT_EQ(result.categoryCalls, c.copiedBack == kNoPass ? Texts{} : PassCalls(c.copiedBack));
    EXPECT_EQ(device.databases[0].lastIndex,
              c.copiedBack == kNoPass ? std::nullopt : std::optional(c.copiedBack - 1));
  }
}

}  // namespace
}  // namespace bolvarin
