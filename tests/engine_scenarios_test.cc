// Record synchronisation end to end: a prepared handheld image and desktop
// file, one `syncbolvarin sync`, then both sides checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "store/record_codec.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using nlohmann::json;
using testing::ReadFile;
using testing::RunHost;
using testing::TempDir;
using testing::WriteFile;

// Record bytes (with their terminator) for a desktop line's fields 3..12.
Bytes RecordBytes(const std::string& fields) {
  handheld::Device device;
  handheld::SimPlatform platform(device, handheld::RunRequest{});
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  std::string record;
  EncodeRecord(*platform.NewPlatformUtility(), "0;0; 0;" + fields, id, category, attributes,
               record);
  return Bytes(record.c_str(), record.c_str() + record.size() + 1);  // with the terminator
}

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
                 r.raw.empty() ? RecordBytes(r.fields) : Bytes(r.raw.begin(), r.raw.end())});
    }
    device.Save(image_);
  }

  void PrepareDesktop(const std::vector<std::string>& lines) {
    WriteFile(dir_.File("MaBolvarin.txt"), lists_testing::Lines(lines));
  }

  // `create`: the image does not exist yet and the run starts an empty one.
  testing::HostResult Sync(const std::string& type, bool create = false) {
    std::vector<std::string> args = {"sync",      "--handheld", image_, "--desktop",
                                     dir_.path(), "--type",     type};
    for (const std::string& arg : testing::HostSettingsArguments(dir_.File("settings")))
      args.push_back(arg);
    if (create) args.push_back("--create");
    return RunHost(args);
  }

  std::vector<std::string> DesktopLines() {
    std::string text = ReadFile(dir_.File("MaBolvarin.txt"));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find("\r\n", start);
      EXPECT_NE(std::string::npos, end) << "every line ends with CR LF";
      if (end == std::string::npos) break;
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // Handheld records after the run: id -> (attributes, desktop-style line,
  // or the bytes in hex when `raw`).
  std::map<int32_t, std::pair<int32_t, std::string>> HandheldRecords(bool raw = false) {
    handheld::Device device = handheld::Device::Load(image_);
    handheld::SimPlatform platform(device, handheld::RunRequest{});
    auto utility = platform.NewPlatformUtility();
    std::map<int32_t, std::pair<int32_t, std::string>> out;
    for (const auto& r : device.FindDatabase("MaBolvarin Data")->Records()) {
      std::string bytes(r.data.begin(), r.data.end());
      out[r.id] = {r.attributes, raw ? handheld::ToHex(r.data)
                                     : DecodeRecord(*utility, TaggedValue::Int32(r.id), r.category,
                                                    r.attributes, bytes)};
    }
    return out;
  }

  testing::HostConduit conduit_;
  TempDir dir_;
  std::string image_ = dir_.File("handheld.json");
};

const std::string kJan = "05/01/2026 09:15:00;-4250;1;0;2;;;;;Groceries";
const std::string kFeb = "03/02/2026;120000;0;;;;;;;Salary";
const std::string kMar = "10/03/2026 18:00:00;-1999;0;1;;;;;;Cinema";
const std::string kApr = "01/04/2026;-80000;0;3;1;;;;;Rent; April";

// What a run that logged no error prints.
std::string Clean(const std::string& kind) {
  return "SyncBolvarin 1.3.2\nSyncBolvarin - Sync configured to " + kind + "\nOk SyncBolvarin\n";
}

TEST_F(EngineScenario, FastSyncMergesBothWays) {
  PrepareHandheld({
      {10, 1, 0x40, kMar},  // changed on the handheld, also on the desktop: handheld wins
      {11, 2, 0x00, kFeb},  // unchanged, not on the desktop: stays where it is
      {12, 1, 0xC0, kJan},  // deleted on the handheld
      {13, 1, 0x80, kJan},  // deleted on the handheld, never on the desktop
      {14, 3, 0x00, kApr},  // deleted on the desktop
      {16, 3, 0x40, kJan},  // new on the handheld
  });
  PrepareDesktop({
      "10;1; 0;" + kApr,  // older desktop edit of 10
      "12;1; 0;" + kJan, "14;3; 128;" + kApr,
      "0;2; 0;" + kFeb,   // new on the desktop
      "15;4; 8;" + kMar,  // archived on the desktop: stays off the handheld
  });

  auto result = Sync("fast");
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ(Clean("Fast Sync"), result.out);

  auto handheld = HandheldRecords();
  // 12 and 13 purged, 14 removed; 10 and 16 written back clean; one new record.
  ASSERT_EQ(4u, handheld.size());
  EXPECT_EQ(0, handheld.at(10).first);
  EXPECT_NE(std::string::npos, handheld.at(10).second.find("Cinema"));
  EXPECT_EQ(0, handheld.at(11).first);
  EXPECT_EQ(0, handheld.at(16).first);
  int32_t newId = 0;
  for (const auto& [id, record] : handheld) {
    if (id != 10 && id != 11 && id != 16) newId = id;
  }
  ASSERT_NE(0, newId);
  EXPECT_NE(std::string::npos, handheld.at(newId).second.find("Salary"));

  // Desktop: sorted by date, the handheld's version of 10 with its attributes,
  // the new line numbered by the handheld, 15 untouched; 11 never comes over.
  std::vector<std::string> expected = {
      "16;3; 64;" + kJan,
      std::to_string(newId) + ";2; 0;" + kFeb,
      "10;1; 64;" + kMar,
      "15;4; 8;" + kMar,
  };
  EXPECT_EQ(expected, DesktopLines());
}

TEST_F(EngineScenario, SlowSyncMovesNoRecord) {
  PrepareHandheld({{10, 1, 0x40, kMar}});
  PrepareDesktop({"20;1; 0;" + kApr, "0;1; 0;" + kJan});
  auto result = Sync("slow");
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ(Clean("Slow Sync"), result.out);
  EXPECT_EQ((std::vector<std::string>{"20;1; 0;" + kApr, "0;1; 0;" + kJan}), DesktopLines());
  auto handheld = HandheldRecords();
  ASSERT_EQ(1u, handheld.size());
  EXPECT_EQ(0x40, handheld.at(10).first);
}

TEST_F(EngineScenario, CopyToDesktopReplacesTheDesktopList) {
  PrepareHandheld({
      {10, 1, 0x40, kMar},
      {11, 2, 0x00, kFeb},
      {12, 1, 0x80, kJan},
      {13, 1, 0x88, kJan},
      {14, 1, 0x08, kJan},
  });
  PrepareDesktop({"99;1; 0;" + kApr});
  auto result = Sync("hh2pc");
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ(Clean("Copy to PC"), result.out);
  // In the handheld's order, attributes kept; deleted and archived left out.
  EXPECT_EQ((std::vector<std::string>{"10;1; 64;" + kMar, "11;2; 0;" + kFeb}), DesktopLines());
  auto handheld = HandheldRecords();
  EXPECT_EQ(0u, handheld.count(12));  // purged
  EXPECT_EQ(1u, handheld.count(14));  // archived records stay on the device
}

TEST_F(EngineScenario, CopyToHandheldReplacesTheHandheldDatabase) {
  PrepareHandheld({{10, 1, 0x40, kMar}, {11, 2, 0x00, kFeb}});
  PrepareDesktop({
      "30;1; 0;" + kApr,
      "0;2; 64;" + kJan,
      "31;1; 128;" + kFeb,
      "32;1; 8;" + kFeb,
  });
  for (const char* list : {"mode.txt", "type.txt", "desc.txt"}) WriteFile(dir_.File(list), "");
  auto result = Sync("pc2hh");
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ(Clean("Copy to kova"), result.out);
  auto handheld = HandheldRecords();
  ASSERT_EQ(2u, handheld.size());
  ASSERT_EQ(1u, handheld.count(30));
  EXPECT_EQ(0, handheld.at(30).first);
  int32_t newId = 0;
  for (const auto& [id, record] : handheld) {
    if (id != 30) newId = id;
  }
  ASSERT_NE(0, newId);
  // The desktop keeps every record, sorted by date, the new one numbered.
  EXPECT_EQ((std::vector<std::string>{std::to_string(newId) + ";2; 64;" + kJan, "31;1; 128;" + kFeb,
                                      "32;1; 8;" + kFeb, "30;1; 0;" + kApr}),
            DesktopLines());
}

// A source record or line that does not convert is logged by name, and a
// one-way copy then leaves its target exactly as it was; a fast sync keeps
// such a handheld record as it is on the handheld, and its desktop line too.
TEST_F(EngineScenario, UnconvertibleSourceIsLoggedAndNothingIsLost) {
  const std::string badLine = "20;1; 0;01/04/2026;-80000;0;x;;;;;;Rent";
  const std::string tooShort("\xC7\x99\x00", 3);
  struct Case {
    const char* type;
    std::vector<HandheldRecord> handheld;
    std::vector<std::string> desktop;
    std::string logged;
  } cases[] = {
      {"pc2hh",
       {{10, 1, 0x40, kMar}, {11, 2, 0x00, kFeb}},
       {"30;1; 0;" + kApr, badLine},
       "SyncBolvarin - Copy to kova - Desktop line \"" + badLine + "\": Field 6 (mode) \"x\""},
      {"hh2pc",
       {{10, 1, 0x40, kMar}, {12, 1, 0x00, "", tooShort}},
       {"99;1; 0;" + kApr},
       "SyncBolvarin - CopyToPc - Handheld record 12 (category 1, attributes 0): Record of 3 "
       "bytes"},
      {"fast",
       {{12, 1, 0x40, "", tooShort}, {13, 1, 0x40, "", tooShort}},
       {"12;1; 0;" + kApr},
       "SyncBolvarin - FastSync - Handheld record 12 (category 1, attributes 64): Record of 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    PrepareHandheld(c.handheld);
    PrepareDesktop(c.desktop);
    for (const char* list : {"mode.txt", "type.txt", "desc.txt"}) WriteFile(dir_.File(list), "");
    const auto before = HandheldRecords(/*raw=*/true);
    auto result = Sync(c.type);
    EXPECT_NE(std::string::npos, result.out.find(c.logged)) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("Copy to kova\n")) << result.out;
    EXPECT_EQ(std::string::npos, result.out.find("Copy to PC\n")) << result.out;
    EXPECT_EQ(before, HandheldRecords(/*raw=*/true));
    EXPECT_EQ(c.desktop, DesktopLines());
  }
}

TEST_F(EngineScenario, UnreadableDesktopFileIsLeftAloneAndReported) {
  PrepareHandheld({{10, 1, 0x40, kMar}});
  const std::string original = "10;1; 0;" + kApr + "\r\nnot a ledger line\r\n";
  WriteFile(dir_.File("MaBolvarin.txt"), original);
  auto result = Sync("fast");
  ASSERT_EQ(2, result.status) << result.err;  // the run logged an error
  EXPECT_NE(std::string::npos, result.out.find("SyncBolvarin - OpenPcStore - "));
  EXPECT_NE(std::string::npos, result.out.find("MaBolvarin.txt"));
  EXPECT_NE(std::string::npos, result.out.find("line 2"));
  EXPECT_EQ(std::string::npos, result.out.find("Fast Sync"));
  EXPECT_EQ(original, ReadFile(dir_.File("MaBolvarin.txt")));
  EXPECT_EQ(0x40, HandheldRecords().at(10).first);  // nothing moved
}

TEST_F(EngineScenario, FirstSyncCreatesBothSides) {
  auto result = Sync("fast", /*create=*/true);
  // An empty handheld has no preference block yet, which the log reports.
  ASSERT_EQ(2, result.status) << result.err;
  EXPECT_NE(std::string::npos, result.out.find("SyncBolvarin - SyncPreference - preference 0"));
  EXPECT_EQ("", ReadFile(dir_.File("MaBolvarin.txt")));
  json image = json::parse(ReadFile(image_));
  ASSERT_EQ(1u, image["databases"].size());
  EXPECT_EQ("MaBolvarin Data", image["databases"][0]["name"]);
  EXPECT_EQ("Bolv", image["databases"][0]["creator"]);
  EXPECT_EQ("Data", image["databases"][0]["type"]);
}

}  // namespace
}  // namespace bolvarin
