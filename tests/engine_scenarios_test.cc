// Record synchronisation end to end: a prepared handheld image and desktop
// file, one `syncbolvarin sync`, then both sides checked. The Windows test
// program runs the Windows host, which reaches the conduit and the handheld
// stand-in through COM: the same expected results hold both builds.
#include <gtest/gtest.h>

#include <optional>

#include "handheld/device.h"
#include "lists/preference_lists.h"
#include "store/record_codec.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using lists_testing::Texts;
using namespace bolvarin::testing;

struct HandheldRecord {
  int32_t id;
  int32_t category;
  int32_t attributes;
  std::string fields;    // fields 3..12 of the equivalent desktop line
  std::string raw = "";  // when set, the record's bytes as they are, in place of `fields`
};

class EngineScenario : public ::testing::Test {
 protected:
  void PrepareHandheld(const std::vector<HandheldRecord>& records) {
    handheld::Device device = lists_testing::MakeDevice(std::string(28, '\0'));
    handheld::Database& db = device.databases[0];
    for (int i = 0; i < 16; ++i) db.categories[i].id = i;
    for (const auto& r : records) {
      db.Append({r.id, r.category, r.attributes,
                 r.raw.empty() ? lists_testing::EncodedRecord("0;0; 0;" + r.fields, 0).data
                               : Bytes(r.raw.begin(), r.raw.end())});
    }
    device.Save(image_);
  }

  // `create`: the image does not exist yet and the run starts an empty one.
  // The host's settings are the tests' private home's, which no test sets.
  HostResult Sync(const std::string& type, bool create = false) {
    std::vector<std::string> args = {"sync",      "--handheld", image_, "--desktop",
                                     dir_.path(), "--type",     type};
    if (create) args.push_back("--create");
    return RunHost(args);
  }

  // The desktop file's lines; every line ends with CR LF.
  Texts DesktopLines() {
    const std::string text = ReadFile(dir_.File("MaBolvarin.txt"));
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << text;
    return lists_testing::LinesOf(text);
  }

  // The handheld's records in their order, as desktop lines, or with their
  // bytes in hex when `raw`.
  Texts HandheldRecords(bool raw = false) {
    handheld::Device device = handheld::Device::Load(image_);
    Texts out;
    for (const auto& r : device.FindDatabase("MaBolvarin Data")->Records()) {
      const std::string bytes(r.data.begin(), r.data.end());
      out.push_back(raw ? std::to_string(r.id) + ";" + std::to_string(r.category) + ";" +
                              std::to_string(r.attributes) + ";" + handheld::ToHex(r.data)
                        : DecodeRecord(lists_testing::Utility(), TaggedValue::Int32(r.id),
                                       r.category, r.attributes, bytes));
    }
    return out;
  }

  HostConduit conduit_;
  TempDir dir_;
  std::string image_ = dir_.File("handheld.json");
};

const std::string kJan = "05/01/2026 09:15:00;-4250;1;0;2;;;;;Groceries";
const std::string kFeb = "03/02/2026;120000;0;;;;;;;Salary";
const std::string kMar = "10/03/2026 18:00:00;-1999;0;1;;;;;;Cinema";
const std::string kApr = "01/04/2026;-80000;0;3;1;;;;;Rent; April";
const std::string kBadLine = "20;1; 0;01/04/2026;-80000;0;x;;;;;;Rent";
const std::string kTooShort("\xC7\x99\x00", 3);

// Each kind of run over a prepared pair of sides. A source record or line
// that does not convert is logged by name, and a one-way copy then leaves its
// target exactly as it was; a fast sync keeps such a handheld record as it is
// on the handheld, and its desktop line too. A desktop file that cannot be
// read is left alone, and nothing moves.
TEST_F(EngineScenario, EachKindOfRun) {
  struct Case {
    const char* name;
    const char* type;
    std::vector<HandheldRecord> handheld;
    Texts desktop;
    std::string logged;  // a clean run: its kind; otherwise a piece of the error it logs
    std::optional<Texts> handheldAfter = {},
                         desktopAfter = {};  // nothing: unchanged, byte for byte
    bool finishes = false;                   // the run logged an error, yet went on to the end
  } cases[] = {
      {"fast sync merges both ways",
       "fast",
       {
           {10, 1, 0x40, kMar},  // changed on the handheld, also on the desktop: handheld wins
           {11, 2, 0x00, kFeb},  // unchanged, not on the desktop: stays where it is
           {12, 1, 0xC0, kJan},  // deleted on the handheld
           {13, 1, 0x80, kJan},  // deleted on the handheld, never on the desktop
           {14, 3, 0x00, kApr},  // deleted on the desktop
           {16, 3, 0x40, kJan},  // new on the handheld
       },
       {
           "10;1; 0;" + kApr,  // older desktop edit of 10
           "12;1; 0;" + kJan, "14;3; 128;" + kApr,
           "0;2; 0;" + kFeb,     // new on the desktop: numbered by the handheld
           "15;4; 8;" + kMar,    // archived on the desktop: stays off the handheld
           "18;1; 128;" + kFeb,  // deleted on the desktop, already gone from the handheld
       },
       "Fast Sync",
       // 12 and 13 purged, 14 removed; 10 and 16 written back clean.
       Texts{"10;1; 0;" + kMar, "11;2; 0;" + kFeb, "16;3; 0;" + kJan, "17;2; 0;" + kFeb},
       // Sorted by date, the handheld's version of 10 with its attributes;
       // 11 never comes over.
       Texts{"16;3; 64;" + kJan, "17;2; 0;" + kFeb, "10;1; 64;" + kMar, "15;4; 8;" + kMar}},
      {"slow sync moves no record",
       "slow",
       {{10, 1, 0x40, kMar}},
       {"20;1; 0;" + kApr, "0;1; 0;" + kJan},
       "Slow Sync"},
      {"copy to the desktop replaces its list",
       "hh2pc",
       {{10, 1, 0x40, kMar},
        {11, 2, 0x00, kFeb},
        {12, 1, 0x80, kJan},
        {13, 1, 0x88, kJan},
        {14, 1, 0x08, kJan}},
       {"99;1; 0;" + kApr},
       "Copy to PC",
       // Deleted records purged, archived ones kept on the device.
       Texts{"10;1; 64;" + kMar, "11;2; 0;" + kFeb, "14;1; 8;" + kJan},
       // In the handheld's order, attributes kept; deleted and archived left out.
       Texts{"10;1; 64;" + kMar, "11;2; 0;" + kFeb}},
      {"copy to the handheld replaces its database",
       "pc2hh",
       {{10, 1, 0x40, kMar}, {11, 2, 0x00, kFeb}},
       {"30;1; 0;" + kApr, "0;2; 64;" + kJan, "31;1; 128;" + kFeb, "32;1; 8;" + kFeb},
       "Copy to kova",
       Texts{"12;2; 0;" + kJan, "30;1; 0;" + kApr},
       // The desktop keeps every record, sorted by date, the new one numbered.
       Texts{"12;2; 64;" + kJan, "31;1; 128;" + kFeb, "32;1; 8;" + kFeb, "30;1; 0;" + kApr}},
      {"unconvertible desktop line",
       "pc2hh",
       {{10, 1, 0x40, kMar}, {11, 2, 0x00, kFeb}},
       {"30;1; 0;" + kApr, kBadLine},
       "SyncBolvarin - Copy to kova - Desktop line \"" + kBadLine + "\": Field 6 (mode) \"x\""},
      {"unconvertible handheld record, copied to the desktop",
       "hh2pc",
       {{10, 1, 0x40, kMar}, {12, 1, 0x00, "", kTooShort}},
       {"99;1; 0;" + kApr},
       "SyncBolvarin - CopyToPc - Handheld record 12 (category 1, attributes 0): Record of 3 "
       "bytes"},
      {"unconvertible handheld record, merged",
       "fast",
       {{12, 1, 0x40, "", kTooShort}, {13, 1, 0x40, "", kTooShort}},
       {"12;1; 0;" + kApr},
       "SyncBolvarin - FastSync - Handheld record 12 (category 1, attributes 64): Record of 3",
       {},
       {},
       true},
      {"unreadable desktop file",
       "fast",
       {{10, 1, 0x40, kMar}},
       {"10;1; 0;" + kApr, "not a ledger line"},
       "SyncBolvarin - OpenPcStore - Data file \"" + NativePath(dir_.path(), "MaBolvarin.txt") +
           "\", line 2: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrepareHandheld(c.handheld);
    WriteFile(dir_.File("MaBolvarin.txt"), lists_testing::Lines(c.desktop));
    for (const char* list : {"mode.txt", "type.txt", "desc.txt"}) WriteFile(dir_.File(list), "");
    const Texts before = HandheldRecords(/*raw=*/true);
    auto result = Sync(c.type);
    if (!c.logged.starts_with("SyncBolvarin")) {
      ASSERT_EQ(0, result.status) << result.err;
      EXPECT_EQ("SyncBolvarin 1.3.2\nSyncBolvarin - Sync configured to " + c.logged +
                    "\nOk SyncBolvarin\n",
                result.out);
    } else {
      EXPECT_EQ(2, result.status) << result.err;  // the run logged an error
      EXPECT_NE(std::string::npos, result.out.find(c.logged)) << result.out;
      EXPECT_EQ(c.finishes, result.out.find("Sync configured") != std::string::npos) << result.out;
    }
    EXPECT_EQ(c.handheldAfter.value_or(before), HandheldRecords(c.handheldAfter == std::nullopt));
    EXPECT_EQ(c.desktopAfter.value_or(c.desktop), DesktopLines());
  }
}

// Categories and the preference lists both ways, with accented text in the
// ANSI code page: on Windows the names cross the COM servers as texts, the
// preference block as a byte array (the records: EachKindOfRun).
TEST_F(EngineScenario, CategoriesListsAndAccentedTextGoBothWays) {
  const std::string header(24, '\0');
  handheld::Device device =
      lists_testing::MakeDevice(BuildPreferenceBlock(header, {"Cash", "D\xE9p\xF4t"}, {}, {}),
                                {{"Caf\xE9s", 1, true}, {"Work", 2, false}});
  device.Save(image_);
  WriteFile(dir_.File("categories.txt"), "Food, 10,False\r\nR\xE9gie, 11,True\r\n");
  WriteFile(dir_.File("mode.txt"), "Ch\xE8que\r\n");
  auto result = Sync("fast");
  EXPECT_EQ(0, result.status) << result.err << result.out;
  EXPECT_EQ(ReadFile(dir_.File("categories.txt")), "Caf\xE9s, 1,True\r\nR\xE9gie, 11,True\r\n");
  EXPECT_EQ(ReadFile(dir_.File("Mode.txt")), "Ch\xE8que\r\nD\xE9p\xF4t\r\n");
  device = handheld::Device::Load(image_);
  const handheld::Category& slot = device.databases[0].categories[1];
  EXPECT_EQ(slot.name + " " + std::to_string(slot.id) + (slot.dirty ? " T" : " F"),
            "R\xE9gie 11 T");
  EXPECT_EQ(device.preferences[0].version, 7);
  const Bytes& block = device.preferences[0].data;
  EXPECT_EQ(std::string(block.begin(), block.end()),
            BuildPreferenceBlock(header, {"Ch\xE8que", "D\xE9p\xF4t"}, {}, {}));
}

}  // namespace
}  // namespace bolvarin
