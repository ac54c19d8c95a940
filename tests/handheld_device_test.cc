// The handheld's state: its JSON image, the image file, and a database's records.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "base/error.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "tests/lists_test_support.h"
#include "tests/test_trash.h"

namespace bolvarin::handheld {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;

Device SampleDevice() {
  Device device = lists_testing::MakeDevice(std::string("\0\1\xFE", 3));
  Database& db = device.databases[0];
  db.categories[3] = {"Sant\xE9", 200, true};  // an 8-bit name
  db.Append({-5, 15, 0xC0, {0xC7, 0x99, 0x00}});
  db.Append(Record(7, 0, 0, Bytes()));
  return device;
}

// The sample's image with the first `from` in it replaced by `to`.
std::string Edited(const std::string& from, const std::string& to) {
  std::string json = SampleDevice().ToJson();
  return json.replace(json.find(from), from.size(), to);
}

// The message of the ImageError `body` raised, empty if it raised none.
std::string ImageErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const ImageError& e) {
    return e.what();
  }
  return "";
}

TEST(HandheldImage, RoundTripKeepsEveryField) {
  std::string json = SampleDevice().ToJson();
  Device back = Device::FromJson(json, "mem");
  EXPECT_EQ(back.ToJson(), json);
  Database& db = back.databases[0];
  const Category& c = db.categories[3];
  const Record& r = db.Records()[0];
  const Preference& p = back.preferences[0];
  EXPECT_EQ(std::tie(db.name, db.creator, db.type, c.name, c.id, c.dirty, r.id, r.category,
                     r.attributes, r.data, p.creator, p.number, p.version, p.data),
            std::tuple("MaBolvarin Data", "Bolv", "Data", "Sant\xE9", 200, true, -5, 15, 0xC0,
                       Bytes{0xC7, 0x99, 0x00}, "Bolv", 0, 7, Bytes{0, 1, 0xFE}));
}

TEST(HandheldImage, RefusesBadImagesNamingFileAndPlace) {
  Device twice = SampleDevice();
  twice.databases.push_back(twice.databases[0]);
  // A syntax error names its line and column (not pinned where they depend
  // on the image's layout).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{\"format\": \n  [1, 2", "line 2, column"},
      {Edited("handheld/1", "handheld/2"),
       "unknown image format version \"syncbolvarin-handheld/2\""},
      {Edited("\"id\": -5", "\"id\": 1, \"id\": -5"),
       "databases[0].records[0]: the field \"id\" appears twice"},
      {SampleDevice().ToJson() + std::string("\0garbage", 8), "not valid JSON"},
      {Edited("\"C79900\"", "6E740"), "number overflow parsing '6E740'"},
      {Edited("\"version\": 7", "\"version\": 1e9"), "preferences[0].version: expected an integer"},
      {Edited("C79900", "C7990"), "databases[0].records[0].data: odd number of hex digits"},
      {Edited("\"id\": 7", "\"id\": -5"), "records[1].id: record identifier -5 is used twice"},
      {Edited("\"id\": -5", "\"id\": 0"), "records[0].id: 0 is not a record identifier"},
      {Edited("\"category\": 15", "\"category\": 16"), "records[0].category: 16 is outside 0..15"},
      {twice.ToJson(), "databases[1].name: a second database"},
      // Each text field is checked (what the checks refuse is shown above).
      {Edited("{\"name\": \"\"", "{\"name\": \"" + std::string(16, 'c') + "\""),
       "categories[0].name: \"" + std::string(16, 'c') + "\" is 16"},
      {Edited("MaBolvarin Data", ""), "databases[0].name: \"\" is empty"},
      {Edited("\"Bolv\"", "\"Bol\""), "databases[0].creator: \"Bol\" is not"},
      {Edited("\"Data\"", "\"Datas\""), "databases[0].type: \"Datas\" is 5"},
      {Edited("\"Bolv\", \"number", "\"Bolvx\", \"number"),
       "preferences[0].creator: \"Bolvx\" is 5"},
      {Edited("192", "256"), "records[0].attributes: 256 is outside"},
  };
  for (const auto& [text, expected] : cases) {
    std::string message = ImageErrorOf([&] { Device::FromJson(text, "img.json"); });
    EXPECT_EQ(message.rfind("img.json: ", 0), 0u) << expected << ": " << message;
    EXPECT_NE(message.find(expected), std::string::npos) << expected << ": " << message;
  }
}

// What the device can store: the image loader and the platform objects
// refuse by these checks (each side's tests show that it calls them), so
// whatever the platform objects store, an image keeps.
TEST(HandheldImage, KeepsWhateverThePlatformObjectsStore) {
  const std::string nul("A\0B", 3), high("\x80\xFF\x01", 3), c15(15, 'c'),
      d31(high + std::string(28, 'd'));
  // (What the image loader refuses shows above, and what the platform objects refuse in
  // their own tests.)
  for (const std::string& problem :
       {CategoryNameProblem(nul), DatabaseNameProblem(d31 + "d"), RecordCategoryProblem(-1)})
    EXPECT_NE(problem, "");

  Device device = SampleDevice();
  SimPlatform platform(device, RunRequest{});
  auto created = platform.NewConduitServices()->CreateDatabase(
      d31, kRecordAdapterProgId, TaggedValue::Text("\xFF\x80\x01\x7F"), TaggedValue::Text("Data"),
      0, 0, 0, 0);
  auto slots = created->Categories();
  slots->SetName(1, c15);
  slots->SetName(2, high);
  slots->Commit();
  TaggedValue lowest = TaggedValue::Int32(INT32_MIN), highest = TaggedValue::Int32(INT32_MAX);
  created->WriteRecord(lowest, 15, 255, Bytes(nul.begin(), nul.end()));
  created->WriteRecord(highest, 0, 0, {});
  platform.NewPlatformSystem()->WritePreference(TaggedValue::Text(high + "x"), INT32_MIN, true,
                                                INT32_MAX, TaggedValue::FromBytes({}));
  const std::string image = device.ToJson();
  EXPECT_EQ(Device::FromJson(image, "mem").ToJson(), image);
}

using HandheldImageFile = TrashTest;
TEST_F(HandheldImageFile, SaveReplacesAtomically) {
  std::string path = dir_.File("hh.json"), folder = dir_.File("folder.json");
  WriteFile(path, "old");
  SampleDevice().Save(path);
  EXPECT_EQ(Device::Load(path).ToJson(), SampleDevice().ToJson());
  EXPECT_EQ(trash_.FileNames(), Names{}) << "the old image is deleted, never trashed";

  // A folder in the image's place cannot be replaced: it stays, and no
  // temporary file is left behind.
  fs::create_directory(folder);
  EXPECT_EQ(ImageErrorOf([&] { SampleDevice().Save(folder); }).rfind(folder + ": cannot write", 0),
            0u);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"folder.json", "hh.json"}));
}

// Reading the records compacts the database: lookups must follow the records
// that moved up. (That a removed identifier is never handed out again shows
// in the engine scenarios.)
TEST(HandheldDatabase, LookupsFollowTheRecordsAfterCompaction) {
  Database db;
  for (int32_t id = 1; id <= 3; ++id) db.Append(Record(id, 0, 0, Bytes()));
  EXPECT_TRUE(db.Remove(1));
  ASSERT_EQ(db.Records().size(), 2u);
  EXPECT_EQ(std::pair(db.Find(2)->id, db.Find(3)->id), std::pair(2, 3));
}

}  // namespace
}  // namespace bolvarin::handheld
