// The desktop category table and its file "categories.txt", the three
// preference lists (the block, the list files and their exchange with the
// handheld) and the category synchronisation, in whole runs on the simulated
// handheld for the kinds of run that touch them.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <sstream>
#include <tuple>

#include "base/error.h"
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

using namespace lists_testing;
using namespace bolvarin::testing;

// Calls a run never makes, refused: a slot that does not exist, a name the
// file cannot hold. A table that cannot be written is kept in the user's
// data folder, and the error says where.
TEST(CDtCategories, RefusedCallsAndUnwritableTable) {
  TempDir dir;
  ScopedEnv dataHome{"XDG_DATA_HOME", dir.File("data")},
      localAppData{"LOCALAPPDATA", dir.File("data")};  // the Windows build's
  CDtCategories table;
  table.Create(dir.File("no-such-folder") + "/");
  for (int16_t bad : {int16_t(-1), int16_t(16)}) {
    EXPECT_EQ(RaisedBy([&] { table.Name(bad); }).number, 9) << bad;
    EXPECT_EQ(RaisedBy([&] { table.SetDirty(bad, false); }).number, 9) << bad;
  }
  EXPECT_EQ(RaisedBy([&] { table.SetName(4, std::string("Nul\0", 4)); }).number, 5);
  table.SetName(2, "Kept");
  // Either separator will do in the paths compared.
  auto slashes = [](std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
  };
  const std::string raised = slashes(RaisedBy([&] { table.Save(); }).text);
  const std::string keptIn = slashes(dir.File("data/syncbolvarin/unsaved/categories.txt.unsaved-"));
  const size_t at = raised.find(keptIn);
  ASSERT_NE(at, std::string::npos) << raised;
  EXPECT_NE(raised.find("Cannot write \"" + slashes(dir.File("no-such-folder/categories.txt"))),
            std::string::npos);
  EXPECT_EQ(ReadFile(raised.substr(at, raised.find('"', at) - at)), "Kept, 2,False\r\n");
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

// One whole run of `syncType` over `device`, with the desktop folder
// `desktop`, as the sync manager starts it; the platform operation
// `failing` (when not empty) raises. Replaced files are deleted for good,
// so the tests leave nothing in the user's trash. The log lines holding
// `piece`, and the category calls.
std::pair<Texts, Texts> RunSync(handheld::Device& device, const std::string& desktop,
                                int32_t syncType, const std::string& piece,
                                const std::string& failing = "") {
  TempDir dir;
  ScopedSettings settings(dir.File("settings"));
  settings.file.Set(kSettingsKey, "DEFINITIF", "OUI");
  handheld::SimPlatform platform(device, {syncType, desktop});
  if (!failing.empty()) platform.FailOperation(failing);
  CNotify(platform).BeginProcess();
  Texts lines;
  for (const auto& entry : platform.log())
    if (entry.text.find(piece) != std::string::npos) lines.push_back(entry.text);
  return {lines, platform.categoryCalls()};
}

constexpr char kNone[] = "<none>";  // a file that does not exist

// (How the lists are read from a block shows in the runs below.)
TEST(PreferencesBlock, YieldsOnlyWhenAskedAfterEachEntryAndListEnd) {
  YieldCounter yields;
  ParsePreferenceBlock(Block({"A", "B"}, {"T"}, {}), false);
  EXPECT_EQ(yields.count, 0);
  ParsePreferenceBlock(Block({"A", "B"}, {"T"}, {}), true);
  EXPECT_EQ(yields.count, 6);
}

// What the block or a list file cannot hold is refused, naming where it is.
TEST(PreferencesFiles, RefusesWhatTheOtherSideCannotHold) {
  // (An entry without its ending 0, and a list file holding one, show in the runs below.)
  for (const auto& [modes, types, piece] : std::vector<std::tuple<Texts, Texts, std::string>>{
           {{"A", ""}, {}, "entry 2 of the mode list is empty"},
           {{}, {std::string("a\0b", 3)}, "entry 1 of the type list holds a 0 byte"},
           {{}, Numbered("T", 64), "64 entries"}}) {
    const std::string raised =
        RaisedBy([&] { BuildPreferenceBlock(kHeader, modes, types, {}); }).text;
    EXPECT_NE(raised.find(piece), std::string::npos) << piece;
  }
}

using PreferenceFile = TrashTest;
TEST_F(PreferenceFile, WrittenFileReplacesTheOldSafely) {
  // (What is cut to each file's limit shows in the runs below.)
  WriteFile(dir_.File("mODE.txt"), "Cash\r\n");
  FailNextReplaceAfterForTesting(3);
  EXPECT_THROW(WritePreferenceFile(dir_.path(), kModeFile, "Transfer\r\n", false), ConduitError);
  EXPECT_EQ(ReadFile(dir_.File("mODE.txt")), "Cash\r\n");  // the old file stays whole
  EXPECT_EQ(NamesIn(dir_.path()), Names{"mODE.txt"});
  // The old file, under any spelling, goes to the trash when the file is not
  // deleted for good. (The runs below show the new file's name.)
  WritePreferenceFile(dir_.path(), kModeFile, "new\r\n", false);
  EXPECT_EQ(ReadFile(trash_.Trashed("mODE.txt")), "Cash\r\n");
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
  Texts fortyMerged = Numbered("H", 40);
  for (int i = 0; i < 10; ++i) fortyMerged[i] = "F" + std::to_string(i + 1);
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
  const Case cases[] = {
      {"save cuts on the desktop only", 2, Block({m40, "Cash"}, {"Food", t31}, {d90}),
       Texts{"old\r\n", kNone, kNone}, "", "", "",
       Texts{Lines({m40.substr(10), "Cash"}), Lines({"Food", t31.substr(1)}),
             Lines({d90.substr(10)})}},
      {"save of a block without any 0", 2, kHeader + "CashCard", oldKept, "",
       "SavePreference - preference block: entry 1 of the mode list, at byte 24, has no ending 0 "
       "byte"},
      {"save of an unreadable preference", 2, old, oldKept, "ReadPreference", "SavePreference - "},
      {"save of a block without its final 0", 2, kHeader + std::string("A\0B\0\0T\0\0D\0\0", 12),
       oldKept, "", "", "", Texts{"A\r\nB\r\n", "T\r\n", "D\r\n"}},
      {"save of a block cut after an entry", 2, kHeader + std::string("A\0", 2), oldKept, "", "",
       "", Texts{"A\r\n", "", ""}},
      {"save of a block with bytes after its end", 2, kHeader + std::string("\0\0\0junk", 7),
       oldKept, "", "", "", Texts{"", "", ""}},
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
      // Line i of a file replaces entry i of its list, further lines are appended (see the
      // short header), further entries stay, even beyond the file's limit of lines; a missing
      // file leaves its list as it is. Both sides get the merged lists.
      {"merge by position", 0, Block(Numbered("H", 40), {"Food"}, {}),
       Texts{Lines(Numbered("F", 10)), kNone, kNone}, "", "", Block(fortyMerged, {"Food"}, {}),
       Texts{Lines(fortyMerged), "Food\r\n", ""}},
      {"merge of a full type list", 0, Block({"Cash"}, Numbered("T", 63), {"Rent", "Gas"}),
       Texts{kNone, Lines(Numbered("New", 62)), kNone}, "", "",
       Block({"Cash"}, merged, {"Rent", "Gas"}),
       Texts{"Cash\r\n", Lines(merged), "Rent\r\nGas\r\n"}},
      {"merge of an unreadable preference", 0, old, Texts{kNone, kNone, kNone}, "ReadPreference",
       "SyncPreference - "},
      {"merge with a line holding a 0 byte", 0, old, Texts{"X\r\n", zeroLine, kNone}, "",
       "type.txt, line 2: holds a 0 byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const char* names[] = {"mode.txt", "type.txt", "desc.txt"};
    for (int i = 0; i < 3; ++i)
      if (c.files[i] != kNone) WriteFile(desktop.File(names[i]), c.files[i]);
    auto device = MakeDevice(c.block);
    const Texts lines = RunSync(device, desktop.path(), c.type, "Preference - ", c.failing).first;
    ASSERT_EQ(lines.size(), *c.log ? 1u : 0u) << ::testing::PrintToString(lines);
    // The file's name as the system spells it: "type.txt" here, "Type.txt" on Windows.
    for (const auto& line : lines)
      EXPECT_NE(UpperAscii(line).find(UpperAscii(c.log)), std::string::npos) << line;
    const Bytes& blockAfter = device.preferences[0].data;
    EXPECT_EQ(std::string(blockAfter.begin(), blockAfter.end()),
              c.blockAfter.empty() ? c.block : c.blockAfter);
    EXPECT_EQ(device.preferences[0].version, 7);
    const Texts& after = c.filesAfter.empty() ? c.files : c.filesAfter;
    for (int i = 0; i < 3; ++i) {  // found without regard to the case of its name
      const std::string path = FindFileNoCase(desktop.path(), names[i]);
      EXPECT_EQ(path.empty() ? kNone : ReadFile(path), after[i]);
    }
#ifndef _WIN32  // a folder that ignores case holds one file under either spelling
    // A rewritten file is named "Mode.txt", "Type.txt", "Desc.txt", and no other spelling stays.
    const char* rewritten[] = {"Mode.txt", "Type.txt", "Desc.txt"};
    for (int i = 0; i < 3 && !c.filesAfter.empty(); ++i) {
      EXPECT_TRUE(Exists(desktop.File(rewritten[i]))) << rewritten[i];
      EXPECT_FALSE(Exists(desktop.File(names[i]))) << names[i];
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
// categories.txt: a file that reads is written back in its own spelling. An
// unreadable file is left as it is and neither side's categories change,
// whatever the run: a name the handheld cannot store (a 0 byte) makes the
// file unreadable, so it never reaches the handheld.
TEST(CategorySync, EachKindOfRun) {
  std::string hh16, dirty16;
  for (int i = 0; i < 16; ++i) {
    hh16 += "HH" + std::to_string(i) + " " + std::to_string(40 + i) + " T\n";
    dirty16 += "C" + std::to_string(i) + ", " + std::to_string(i + 100) + ",True\r\n";
  }
  const std::string bad("A\0B, 1,True\r\nC, 2,True\r\n", 24), hh = "Home 1 T\nW 2 F\n 0 F\n";
  struct Case {
    std::string what;
    int32_t type;
    std::string handheld, file;
    std::string error;           // a piece of the one SyncCategories log line; "," follows the path
    std::string fileAfter = "";  // "": as before
    std::string slotsAfter = "";  // the handheld's first three slots; "": as before
    int copiedBack = kNoPass;     // slots the desktop-to-handheld pass copies
  } cases[] = {
      {"fast: changed handheld slots over, then the desktop's changed run back", 0,
       "Home 1 T\nWork 2 F\nGifts 3 T\n", "Food, 10,False\r\n  Car , 11,True\r\nFun, 12,True\r\n",
       "", "Home, 1,True\r\nCar, 11,True\r\nGifts, 3,True\r\n", "Home 1 T\nCar 11 T\nGifts 3 T\n",
       3},
      {"fast: clean slots stay on their side", 0, "Home 1 F\nWork 2 T\n",
       "Food, 10,False\r\nCar, 11,False\r\n", "", "Food, 10,False\r\nWork, 2,True\r\n",
       "Home 1 F\nWork 2 F\n 0 F\n", 0},
      {"slow: the file is only rewritten", 1, "Home 1 T\n", "  Travel ,5 , False \nHome,1,True", "",
       "Travel, 5,False\r\nHome, 1,True\r\n"},
      {"slow: a flag other than False is a changed slot", 1, "",
       "Travel, 5,False\r\nB, 2, False \r\nC, 3,false\r\nD, 4,FALSE\r\nE, 5,0\r\nF, 6,\n", "",
       "Travel, 5,False\r\nB, 2,False\r\nC, 3,True\r\nD, 4,True\r\nE, 5,True\r\nF, 6,True\r\n"},
      {"slow: lines ended by CR", 1, "",
       "   Home   ,  12  , True\rX,007,False\rY, 0,False\rZ, 255,False", "",
       "Home, 12,True\r\nX, 7,False\r\nY, 0,False\r\nZ, 255,False\r\n"},
      {"slow: names cut to 15, commas in names, empty lines at the end", 1, "",
       "Abcdefghijklmnopqrst, 4,False\r\nFood, drink, 7,True\r\n\r\n\r\n", "",
       "Abcdefghijklmno, 4,False\r\nFood, drink, 7,True\r\n"},
      {"copy to desktop: every slot whatever its flag", 2, "Home 1 F\n 0 F\nWork 2 T\n",
       "A, 1,True\r\nB, 2,True\r\nC, 3,True\r\nD, 4,True\r\n", "",
       "Home, 1,False\r\nWork, 2,True\r\n"},
      {"copy to desktop: a name with a line break", 2, "Two\rlines 1 T\n", "A, 1,True\r\n",
       "holds a line break"},
      {"fast: identifier 300 in a changed slot leaves both sides as they were", 0,
       "S0 10 T\nNew 300 T\n", "Old0, 50,True\r\nOld1, 51,True\r\n",
       "handheld category slot 1: identifier 300 is outside 0 to 255"},
      {"copy to handheld: the leading run of changed slots", 3, hh16,
       "A, 1,True\r\nB, 2,True\r\nC, 3,False\r\nD, 4,True\r\n", "", "", "A 1 T\nB 2 T\nHH2 42 F\n",
       2},
      {"copy to handheld: slot 0 clean", 3, hh16, "A, 1,False\r\nB, 2,True\r\n", "", "",
       "HH0 40 F\nHH1 41 F\nHH2 42 F\n", 0},
      {"copy to handheld: all sixteen", 3, hh16, dirty16, "", "", "C0 100 T\nC1 101 T\nC2 102 T\n",
       16},
      {"fast, 17 lines", 0, hh, dirty16 + "Extra, 99,False\r\n", ", line 17: more than 16 lines"},
      {"fast, identifier -1", 0, hh, "A, -1,False\r\n", ", line 1: the identifier \" -1\""},
      {"slow, no comma", 1, hh, "A, 1,False\r\nNoCommaHere\r\n",
       ", line 2: \"NoCommaHere\" is not"},
      {"slow, no identifier", 1, hh, "A, ,False\r\n", ", line 1: the identifier \" \""},
      {"copy to desktop, one comma", 2, hh, "Single, 5\r\n", ", line 1: \"Single, 5\" is not"},
      {"copy to desktop, an empty line", 2, hh, "A, 1,False\r\n\r\nB, 2,False\r\n",
       ", line 2: empty line"},
      {"copy to handheld, identifier 256", 3, hh, "A, 256,False\r\n",
       ", line 1: the identifier \" 256\""},
      {"copy to handheld, a 0 byte in a name", 3, hh, bad,
       ", line 1: the name holds the character 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    auto device = MakeDevice(Block({}, {}, {}), Slots(c.handheld));
    const std::string path = NativePath(desktop.path(), "categories.txt");
    const std::string before = Slots(device, 3);
    WriteFile(path, c.file);
    const auto [lines, calls] = RunSync(device, desktop.path(), c.type, " - SyncCategories - ");
    ASSERT_EQ(lines.size(), c.error.empty() ? 0u : 1u);
    for (const auto& line : lines) {
      EXPECT_NE(line.find((c.error[0] == ',' ? path : "") + c.error), std::string::npos) << line;
    }
    EXPECT_EQ(ReadFile(path), c.fileAfter.empty() ? c.file : c.fileAfter);
    EXPECT_EQ(Slots(device, 3), c.slotsAfter.empty() ? before : c.slotsAfter);
    EXPECT_EQ(calls, c.copiedBack == kNoPass ? Texts{} : PassCalls(c.copiedBack));
  }
}

}  // namespace
}  // namespace bolvarin
