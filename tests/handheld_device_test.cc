#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/error.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "store/record_codec.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

using bolvarin::testing::ReadFile;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;

std::string Categories16(const std::string& first = R"({"name": "Food", "id": 1, "dirty": true})") {
  std::string out = "[" + first;
  for (int i = 1; i < 16; ++i) out += R"(, {"name": "", "id": 0, "dirty": false})";
  return out + "]";
}

// An image with one database whose records are `records` (JSON array text).
std::string Image(const std::string& records, const std::string& categories = Categories16(),
                  const std::string& prefs = "[]") {
  return R"({"format": "syncbolvarin-handheld/1", "databases": [{"name": "MaBolvarin Data", )"
         R"("creator": "Bolv", "type": "Data", "categories": )" +
         categories + R"(, "records": )" + records + R"(}], "preferences": )" + prefs + "}";
}

Device SampleDevice() {
  Device device;
  Database db;
  db.name = "MaBolvarin Data";
  db.creator = "Bolv";
  db.type = "Data";
  db.categories[0] = {"Unfiled", 0, false};
  db.categories[3] = {"Sant\xE9", 200, true};  // an 8-bit name
  db.Append({12, 1, 0x40, {0xC7, 0x99, 0x0E, 0x1E, 0x00}});
  db.Append({-5, 15, 0xC0, {}});
  db.Append({7, 0, 0, {0xff, 0x00, 0xab}});
  device.databases.push_back(db);
  Database other;
  other.name = "Other DB";
  other.creator = "Othr";
  other.type = "DATA";
  device.databases.push_back(other);
  device.preferences.push_back({"Bolv", 0, 3, {0, 1, 2, 0xFE}});
  device.preferences.push_back({"Othr", -2, -1, {}});
  return device;
}

void ExpectSameDevice(const Device& a, const Device& b) {
  ASSERT_EQ(a.databases.size(), b.databases.size());
  for (size_t d = 0; d < a.databases.size(); ++d) {
    const Database &x = a.databases[d], &y = b.databases[d];
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.creator, y.creator);
    EXPECT_EQ(x.type, y.type);
    for (size_t c = 0; c < 16; ++c) {
      EXPECT_EQ(x.categories[c].name, y.categories[c].name) << c;
      EXPECT_EQ(x.categories[c].id, y.categories[c].id) << c;
      EXPECT_EQ(x.categories[c].dirty, y.categories[c].dirty) << c;
    }
    ASSERT_EQ(x.Records().size(), y.Records().size());
    for (size_t r = 0; r < x.Records().size(); ++r) {
      EXPECT_EQ(x.Records()[r].id, y.Records()[r].id);
      EXPECT_EQ(x.Records()[r].category, y.Records()[r].category);
      EXPECT_EQ(x.Records()[r].attributes, y.Records()[r].attributes);
      EXPECT_EQ(x.Records()[r].data, y.Records()[r].data);
    }
  }
  ASSERT_EQ(a.preferences.size(), b.preferences.size());
  for (size_t p = 0; p < a.preferences.size(); ++p) {
    EXPECT_EQ(a.preferences[p].creator, b.preferences[p].creator);
    EXPECT_EQ(a.preferences[p].number, b.preferences[p].number);
    EXPECT_EQ(a.preferences[p].version, b.preferences[p].version);
    EXPECT_EQ(a.preferences[p].data, b.preferences[p].data);
  }
}

TEST(HandheldDeviceImage, RoundTripKeepsEveryField) {
  Device device = SampleDevice();
  std::string json = device.ToJson();
  Device back = Device::FromJson(json, "mem");
  ExpectSameDevice(device, back);
  EXPECT_EQ(back.ToJson(), json);
  // Bytes are written upper-case; the 8-bit name as the character of its code.
  EXPECT_NE(json.find("\"FF00AB\""), std::string::npos);
  EXPECT_NE(json.find("Sant\xC3\xA9"), std::string::npos);
}

TEST(HandheldDeviceImage, ReadsLowerCaseHexAndKeepsRecordOrder) {
  Device device =
      Device::FromJson(Image(R"([{"id": 30, "category": 2, "attributes": 64, "data": "c7990e1e00"},
                {"id": 4, "category": 0, "attributes": 0, "data": ""}])"),
                       "mem");
  const auto& records = device.databases[0].Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].id, 30);
  EXPECT_EQ(records[0].data, (Bytes{0xC7, 0x99, 0x0E, 0x1E, 0x00}));
  EXPECT_EQ(records[1].id, 4);
  EXPECT_EQ(device.databases[0].categories[0].name, "Food");
  EXPECT_TRUE(device.databases[0].categories[0].dirty);
}

struct Refusal {
  const char* label;
  std::string text;
  std::string expected;  // part of the message, after "img.json: "
};

TEST(HandheldDeviceImage, RefusesBadImagesNamingFileAndPlace) {
  const std::string rec = R"({"id": 1, "category": 0, "attributes": 0, "data": "00"})";
  auto badCategory = [](const std::string& entry) { return Categories16(entry); };
  const std::vector<Refusal> cases = {
      {"not JSON", "{\"format\": \n  [1, 2", "line 2, column"},
      {"not an object", "[]", "expected an object"},
      {"no format", R"({"databases": [], "preferences": []})", "missing \"format\""},
      {"unknown format",
       R"({"format": "syncbolvarin-handheld/2", "databases": [], "preferences": []})",
       "unknown image format version \"syncbolvarin-handheld/2\""},
      {"format not text", R"({"format": 1, "databases": [], "preferences": []})",
       "unknown image format version 1"},
      {"no databases", R"({"format": "syncbolvarin-handheld/1", "preferences": []})",
       "missing \"databases\""},
      {"repeated field",
       Image(R"([{"id": 1, "id": 2, "category": 0, "attributes": 0, "data": ""}])"),
       "the field \"id\" appears twice in one object"},
      {"unknown field",
       R"({"format": "syncbolvarin-handheld/1", "databases": [], "preferences": [], "x": 1})",
       "unknown field \"x\""},
      {"odd hex",
       Image(R"([)" + rec + R"(, {"id": 2, "category": 0, "attributes": 0, "data": "ABC"}])"),
       "databases[0].records[1].data: odd number of hex digits"},
      {"bad hex digit", Image(R"([{"id": 2, "category": 0, "attributes": 0, "data": "0G"}])"),
       "databases[0].records[0].data: character 2 ('G') is not a hex digit"},
      {"duplicate id", Image("[" + rec + ", " + rec + "]"),
       "databases[0].records[1].id: record identifier 1 is used twice"},
      {"id zero", Image(R"([{"id": 0, "category": 0, "attributes": 0, "data": ""}])"),
       "databases[0].records[0].id: 0 is not a record identifier"},
      {"id too large", Image(R"([{"id": 2147483648, "category": 0, "attributes": 0, "data": ""}])"),
       "databases[0].records[0].id: 2147483648 is outside"},
      {"id as text", Image(R"([{"id": "1", "category": 0, "attributes": 0, "data": ""}])"),
       "databases[0].records[0].id: expected an integer, found string"},
      {"id with fraction", Image(R"([{"id": 1.5, "category": 0, "attributes": 0, "data": ""}])"),
       "databases[0].records[0].id: expected an integer, found a number with a fraction"},
      {"record category", Image(R"([{"id": 1, "category": 16, "attributes": 0, "data": ""}])"),
       "databases[0].records[0].category: 16 is outside 0..15"},
      {"attributes", Image(R"([{"id": 1, "category": 0, "attributes": 256, "data": ""}])"),
       "databases[0].records[0].attributes: 256 is outside 0..255"},
      {"missing data", Image(R"([{"id": 1, "category": 0, "attributes": 0}])"),
       "databases[0].records[0]: missing \"data\""},
      {"15 categories", Image("[]", Categories16().substr(0, Categories16().rfind(", {")) + "]"),
       "databases[0].categories: 15 entries; a database has exactly 16 category slots"},
      {"category id", Image("[]", badCategory(R"({"name": "A", "id": 256, "dirty": false})")),
       "databases[0].categories[0].id: 256 is outside 0..255"},
      {"category name",
       Image("[]", badCategory(R"({"name": "Sixteen chars...", "id": 1, "dirty": false})")),
       "databases[0].categories[0].name: \"Sixteen chars...\" is 16 characters long; at most 15"},
      {"dirty not Boolean", Image("[]", badCategory(R"({"name": "A", "id": 1, "dirty": "yes"})")),
       "databases[0].categories[0].dirty: expected true or false"},
      {"wide character",
       Image("[]", badCategory(R"({"name": "A\u20ac", "id": 1, "dirty": false})")),
       "databases[0].categories[0].name: character 2 is beyond U+00FF"},
      {"preference creator",
       Image("[]", Categories16(),
             R"([{"creator": "Bol", "number": 0, "version": 1, "data": ""}])"),
       "preferences[0].creator: \"Bol\" is not a 4-character code"},
      {"duplicate preference",
       Image("[]", Categories16(),
             R"([{"creator": "Bolv", "number": 0, "version": 1, "data": ""},
                 {"creator": "Bolv", "number": 0, "version": 2, "data": "00"}])"),
       "preferences[1]: a second preference 0 of creator \"Bolv\""},
  };
  for (const auto& c : cases) {
    try {
      Device::FromJson(c.text, "img.json");
      ADD_FAILURE() << c.label << ": accepted";
    } catch (const ImageError& e) {
      std::string message = e.what();
      EXPECT_EQ(message.rfind("img.json: ", 0), 0u) << c.label << ": " << message;
      EXPECT_NE(message.find(c.expected), std::string::npos)
          << c.label << ": " << message << "\n  expected to contain: " << c.expected;
    }
  }
}

TEST(HandheldDeviceImage, RefusesTwoDatabasesOfOneName) {
  Device device = SampleDevice();
  device.databases[1].name = device.databases[0].name;
  try {
    Device::FromJson(device.ToJson(), "img.json");
    FAIL() << "accepted";
  } catch (const ImageError& e) {
    EXPECT_NE(std::string(e.what()).find("img.json: databases[1].name: a second database"),
              std::string::npos)
        << e.what();
  }
}

TEST(HandheldDeviceFile, SaveThenLoadAndLeavesNoTemporaryFile) {
  TempDir dir;
  std::string path = dir.File("hh.json");
  Device device = SampleDevice();
  device.Save(path);
  ExpectSameDevice(device, Device::Load(path));
  device.databases[0].Append({99, 0, 0, {1}});
  device.Save(path);
  EXPECT_NE(Device::Load(path).databases[0].Find(99), nullptr);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST(HandheldDeviceFile, SaveKeepsPermissionsOfTheReplacedFile) {
  TempDir dir;
  std::string path = dir.File("hh.json");
  WriteFile(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  SampleDevice().Save(path);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(HandheldDeviceFile, FailedSaveLeavesWhatWasThereAndNamesTheFile) {
  TempDir dir;
  // A folder in the image's place: the rename cannot replace it.
  std::string path = dir.File("hh.json");
  std::filesystem::create_directory(path);
  WriteFile(path + "/keep", "x");
  try {
    SampleDevice().Save(path);
    FAIL() << "saved over a folder";
  } catch (const ImageError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(path + ": cannot write", 0), 0u) << e.what();
  }
  EXPECT_EQ(ReadFile(path + "/keep"), "x");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u) << "a temporary file was left behind";

  EXPECT_THROW(SampleDevice().Save(dir.File("missing/hh.json")), ImageError);
}

TEST(HandheldDeviceFile, LoadNamesTheFile) {
  TempDir dir;
  std::string path = dir.File("bad.json");
  WriteFile(path, Image(R"([{"id": 1, "category": 0, "attributes": 0, "data": "0"}])"));
  try {
    Device::Load(path);
    FAIL();
  } catch (const ImageError& e) {
    EXPECT_EQ(std::string(e.what()),
              path + ": databases[0].records[0].data: odd number of hex digits");
  }
  EXPECT_THROW(Device::Load(dir.File("none.json")), ImageError);
}

TEST(HandheldDeviceDatabase, NewIdsComeFromACounterAboveTheLargestId) {
  Device device =
      Device::FromJson(Image(R"([{"id": 500, "category": 0, "attributes": 0, "data": ""},
                {"id": -9, "category": 0, "attributes": 0, "data": ""},
                {"id": 20, "category": 0, "attributes": 0, "data": ""}])"),
                       "mem");
  Database& db = device.databases[0];
  EXPECT_EQ(db.Append({0, 0, 0, {}}), 501);
  EXPECT_EQ(db.Append({0, 0, 0, {}}), 502);
  // A removed identifier is not handed out again while the database is loaded.
  EXPECT_TRUE(db.Remove(502));
  EXPECT_EQ(db.Append({0, 0, 0, {}}), 503);
  // An explicit identifier above the counter moves it.
  EXPECT_EQ(db.Append({900, 0, 0, {}}), 900);
  EXPECT_EQ(db.Append({0, 0, 0, {}}), 901);
  EXPECT_THROW(db.Append({20, 0, 0, {}}), ConduitError);
}

TEST(HandheldDeviceDatabase, RemovalKeepsOrderAndLookups) {
  Database db;
  db.name = "D";
  for (int32_t id = 1; id <= 6; ++id) db.Append({id, 0, id == 2 || id == 5 ? 0x80 : 0, {}});
  EXPECT_TRUE(db.Remove(3));
  EXPECT_FALSE(db.Remove(3));
  EXPECT_EQ(db.Find(3), nullptr);
  EXPECT_EQ(db.RecordCount(), 5u);
  ASSERT_NE(db.Find(4), nullptr);
  db.Find(4)->attributes = 0x88;  // archived and deleted: purged too
  db.PurgeDeleted();
  std::vector<int32_t> ids;
  for (const auto& r : db.Records()) ids.push_back(r.id);
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 6}));
  EXPECT_EQ(db.Find(6)->id, 6);
  db.RemoveAll();
  EXPECT_EQ(db.RecordCount(), 0u);
  EXPECT_EQ(db.Find(1), nullptr);
  EXPECT_EQ(db.Append({0, 0, 0, {}}), 7);
}

TEST(HandheldDeviceDatabase, ManyRecordsWithRemovalsStayConsistent) {
  Database db;
  db.name = "Big";
  const int32_t n = 200000;
  for (int32_t i = 0; i < n; ++i) db.Append({0, i % 16, 0x40, {static_cast<uint8_t>(i)}});
  for (int32_t id = 2; id <= n; id += 2) ASSERT_TRUE(db.Remove(id));
  EXPECT_EQ(db.RecordCount(), static_cast<size_t>(n / 2));
  ASSERT_NE(db.Find(n - 1), nullptr);
  EXPECT_EQ(db.Find(n - 1)->category, (n - 2) % 16);
  const auto& records = db.Records();
  ASSERT_EQ(records.size(), static_cast<size_t>(n / 2));
  for (size_t i = 0; i < records.size(); ++i)
    ASSERT_EQ(records[i].id, static_cast<int32_t>(2 * i + 1));
  EXPECT_EQ(db.Find(7)->data, Bytes{6});
}

TEST(HandheldDeviceCodes, PackAndUnpack) {
  EXPECT_EQ(PackCode("Bolv"), 0x426F6C76);
  EXPECT_EQ(UnpackCode(0x426F6C76), "Bolv");
  EXPECT_EQ(UnpackCode(PackCode("Data")), "Data");
  EXPECT_EQ(ToHex({0x00, 0xAB, 0x0F}), "00AB0F");
}

// The bundled sample is a valid image whose ledger records all convert.
TEST(HandheldDeviceSample, BundledImageLoadsAndEveryRecordDecodes) {
  Device device = Device::Load(std::string(BOLVARIN_SOURCE_DIR) + "/samples/sample-handheld.json");
  Database* db = device.FindDatabase("MaBolvarin Data");
  ASSERT_NE(db, nullptr);
  EXPECT_GE(db->RecordCount(), 10u);
  SimPlatform platform(device, RunRequest{});
  auto utility = platform.NewPlatformUtility();
  for (const Record& rec : db->Records()) {
    std::string bytes(rec.data.begin(), rec.data.end());
    EXPECT_NO_THROW(
        DecodeRecord(*utility, TaggedValue::Int32(rec.id), rec.category, rec.attributes, bytes))
        << "record " << rec.id;
  }
  ASSERT_NE(device.FindPreference("Bolv", 0), nullptr);
}

}  // namespace
}  // namespace bolvarin::handheld
