// The handheld's state: its JSON image, the image file, and a database's records.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "base/error.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "store/record_codec.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

namespace fs = std::filesystem;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;

Device SampleDevice() {
  Device device;
  Database& db = device.databases.emplace_back();
  db.name = "MaBolvarin Data";
  db.creator = "Bolv";
  db.type = "Data";
  db.categories[3] = {"Sant\xE9", 200, true};  // an 8-bit name
  db.Append({-5, 15, 0xC0, {0xC7, 0x99, 0x00}});
  db.Append({7, 0, 0, {}});
  device.preferences.push_back({"Bolv", 0, 3, {0, 1, 0xFE}});
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
  const Database& db = back.databases[0];
  const Category& slot = db.categories[3];
  const Record& r = db.Records()[0];
  const Preference& p = back.preferences[0];
  EXPECT_EQ(std::tie(db.name, db.creator, db.type), std::tuple("MaBolvarin Data", "Bolv", "Data"));
  EXPECT_EQ(std::tie(slot.name, slot.id, slot.dirty), std::tuple("Sant\xE9", 200, true));
  EXPECT_EQ(std::tie(r.id, r.category, r.attributes, r.data),
            std::tuple(-5, 15, 0xC0, Bytes{0xC7, 0x99, 0x00}));
  EXPECT_EQ(std::tie(p.creator, p.number, p.version, p.data),
            std::tuple("Bolv", 0, 3, Bytes{0, 1, 0xFE}));
  // Lower-case hex is read too.
  EXPECT_EQ(Device::FromJson(Edited("C79900", "c79900"), "mem").databases[0].Records()[0].data,
            (Bytes{0xC7, 0x99, 0x00}));
}

TEST(HandheldImage, RefusesBadImagesNamingFileAndPlace) {
  Device twice = SampleDevice();
  twice.databases.push_back(twice.databases[0]);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{\"format\": \n  [1, 2", "line 2, column"},
      {Edited("handheld/1", "handheld/2"),
       "unknown image format version \"syncbolvarin-handheld/2\""},
      {Edited("\"id\": -5", "\"id\": 1, \"id\": -5"), "the field \"id\" appears twice"},
      {Edited("C79900", "C7990"), "databases[0].records[0].data: odd number of hex digits"},
      {Edited("\"id\": 7", "\"id\": -5"), "records[1].id: record identifier -5 is used twice"},
      {Edited("\"id\": -5", "\"id\": 0"), "records[0].id: 0 is not a record identifier"},
      {Edited("\"category\": 15", "\"category\": 16"), "records[0].category: 16 is outside 0..15"},
      {twice.ToJson(), "databases[1].name: a second database"},
  };
  for (const auto& [text, expected] : cases) {
    std::string message = ImageErrorOf([&] { Device::FromJson(text, "img.json"); });
    EXPECT_EQ(message.rfind("img.json: ", 0), 0u) << expected << ": " << message;
    EXPECT_NE(message.find(expected), std::string::npos) << expected << ": " << message;
  }
}

TEST(HandheldImageFile, SaveReplacesAtomicallyAndLoadNamesTheFile) {
  TempDir dir;
  std::string path = dir.File("hh.json"), folder = dir.File("folder.json");
  WriteFile(path, "old");
  const auto mode = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path, mode);
  SampleDevice().Save(path);
  EXPECT_EQ(Device::Load(path).ToJson(), SampleDevice().ToJson());
  EXPECT_EQ(fs::status(path).permissions(), mode);  // the replaced file's are kept

  // A folder in the image's place cannot be replaced: it stays, and no
  // temporary file is left behind.
  fs::create_directory(folder);
  EXPECT_EQ(ImageErrorOf([&] { SampleDevice().Save(folder); }).rfind(folder + ": cannot write", 0),
            0u);
  EXPECT_TRUE(fs::is_directory(folder));
  using Listing = fs::directory_iterator;
  EXPECT_EQ(std::distance(Listing(dir.path()), Listing()), 2);

  WriteFile(path, Edited("C79900", "C7990"));
  EXPECT_EQ(ImageErrorOf([&] { Device::Load(path); }),
            path + ": databases[0].records[0].data: odd number of hex digits");
}

TEST(HandheldDatabase, RemovalsKeepOrderAndIdentifiersAreNeverHandedOutTwice) {
  Database db;
  for (int32_t id = 1; id <= 6; ++id) db.Append({id, 0, id == 2 || id == 5 ? 0x80 : 0, {}});
  EXPECT_TRUE(db.Remove(3));
  EXPECT_FALSE(db.Remove(3));
  db.Find(4)->attributes = 0x88;  // archived and deleted: purged too
  db.PurgeDeleted();
  ASSERT_EQ(db.RecordCount(), 2u);
  EXPECT_EQ(std::pair(db.Records()[0].id, db.Records()[1].id), std::pair(1, 6));
  EXPECT_EQ(db.Find(6)->id, 6);  // lookups still work after the records moved up
  EXPECT_TRUE(db.Remove(6));
  EXPECT_EQ(db.Append({}), 7);  // a removed identifier is not handed out again
  EXPECT_THROW(db.Append({7, 0, 0, {}}), ConduitError);
  EXPECT_EQ(db.Append({900, 0, 0, {}}), 900);
  db.RemoveAll();
  EXPECT_EQ(db.RecordCount(), 0u);
  EXPECT_EQ(db.Append({}), 901);
}

// The bundled sample is a valid image whose ledger records all convert.
TEST(HandheldImage, BundledSampleLoadsAndEveryRecordDecodes) {
  Device device = Device::Load(std::string(BOLVARIN_SOURCE_DIR) + "/samples/sample-handheld.json");
  const Database* db = device.FindDatabase("MaBolvarin Data");
  ASSERT_NE(db, nullptr);
  SimPlatform platform(device, RunRequest{});
  auto utility = platform.NewPlatformUtility();
  for (const Record& rec : db->Records()) {
    std::string bytes(rec.data.begin(), rec.data.end());
    EXPECT_NO_THROW(
        DecodeRecord(*utility, TaggedValue::Int32(rec.id), rec.category, rec.attributes, bytes))
        << "record " << rec.id;
  }
}

}  // namespace
}  // namespace bolvarin::handheld
