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
#include "tests/test_trash.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

namespace fs = std::filesystem;
using bolvarin::testing::Names;
using bolvarin::testing::TempDir;
using bolvarin::testing::TestTrash;
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
  Database& db = back.databases[0];
  const Category& slot = db.categories[3];
  const Record& r = db.Records()[0];
  const Preference& p = back.preferences[0];
  EXPECT_EQ(std::tie(db.name, db.creator, db.type), std::tuple("MaBolvarin Data", "Bolv", "Data"));
  EXPECT_EQ(std::tie(slot.name, slot.id, slot.dirty), std::tuple("Sant\xE9", 200, true));
  EXPECT_EQ(std::tie(r.id, r.category, r.attributes, r.data),
            std::tuple(-5, 15, 0xC0, Bytes{0xC7, 0x99, 0x00}));
  EXPECT_EQ(std::tie(p.creator, p.number, p.version, p.data),
            std::tuple("Bolv", 0, 3, Bytes{0, 1, 0xFE}));
}

TEST(HandheldImage, RefusesBadImagesNamingFileAndPlace) {
  Device twice = SampleDevice();
  twice.databases.push_back(twice.databases[0]);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"{\"format\": \n  [1, 2", "line 2, column"},
      {Edited("handheld/1", "handheld/2"),
       "unknown image format version \"syncbolvarin-handheld/2\""},
      {Edited("\"id\": -5", "\"id\": 1, \"id\": -5"),
       "databases[0].records[0]: the field \"id\" appears twice"},
      {SampleDevice().ToJson() + std::string("\0garbage", 8), "line 36, column 1: not valid JSON"},
      {Edited("\"C79900\"", "6E740"), "line 27, column 67: number overflow parsing '6E740'"},
      {Edited("\"version\": 3", "\"version\": 1e9"), "preferences[0].version: expected an integer"},
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

// Whatever the platform objects let the conduit store, the image keeps:
// each value is refused by its setter and by the loader alike, or it is
// stored, and saving and loading give the device back identically.
TEST(HandheldImage, SettersAndLoaderAcceptTheSameValues) {
  const std::string nul("A\0B", 3), high("\x80\xFF\x01", 3), code0("Bo\0v", 4);
  enum Field {
    kCategoryName,
    kDbName,
    kDbCreator,
    kDbType,
    kRecordId,
    kRecordCategory,
    kRecordAttributes,
    kRecordData,
    kPrefCreator,
    kPrefNumber,
    kPrefVersion,
    kPrefData
  };
  const struct {
    Field field;
    std::string text;
    int32_t number;
    bool stored;
  } values[] = {
      {kCategoryName, "", 0, true},
      {kCategoryName, std::string(15, 'c'), 0, true},
      {kCategoryName, high, 0, true},
      {kCategoryName, std::string(16, 'c'), 0, false},
      {kCategoryName, nul, 0, false},
      {kDbName, std::string(31, 'd'), 0, true},
      {kDbName, high, 0, true},
      {kDbName, std::string(32, 'd'), 0, false},
      {kDbName, "", 0, false},
      {kDbName, nul, 0, false},
      {kDbName, "MaBolvarin Data", 0, false},
      {kDbCreator, "\xFF\x80\x01\x7F", 0, true},
      {kDbCreator, "Bol", 0, false},
      {kDbCreator, code0, 0, false},
      {kDbType, "Data", 0, true},
      {kDbType, "Datas", 0, false},
      {kDbType, code0, 0, false},
      {kRecordId, "", INT32_MIN, true},
      {kRecordId, "", INT32_MAX, true},
      {kRecordCategory, "", 15, true},
      {kRecordCategory, "", 16, false},
      {kRecordCategory, "", -1, false},
      {kRecordAttributes, "", 255, true},
      {kRecordAttributes, "", 256, false},
      {kRecordAttributes, "", -1, false},
      {kRecordData, nul + high, 0, true},
      {kRecordData, "", 0, true},
      {kPrefCreator, high + "x", 0, true},
      {kPrefCreator, code0, 0, false},
      {kPrefCreator, "Bolvx", 0, false},
      {kPrefNumber, "", INT32_MIN, true},
      {kPrefVersion, "", INT32_MAX, true},
      {kPrefData, nul + high, 0, true},
  };
  for (const auto& [field, text, number, stored] : values) {
    SCOPED_TRACE(std::to_string(field) + " \"" + text + "\" " + std::to_string(number));
    const Bytes bytes(text.begin(), text.end());
    // Through the platform objects, as the conduit stores values.
    Device device = SampleDevice();
    SimPlatform platform(device, RunRequest{});
    auto services = platform.NewConduitServices();
    auto system = platform.NewPlatformSystem();
    auto ledger = services->OpenDatabase("MaBolvarin Data", "HXDirect.HXRecordAdapter", 0);
    auto create = [&](const std::string& name, const std::string& creator,
                      const std::string& type) {
      services->CreateDatabase(name, "HXDirect.HXRecordAdapter", TaggedValue::Text(creator),
                               TaggedValue::Text(type), 0, 0, 0, 0);
    };
    auto write = [&](int32_t id, int32_t category, int32_t attributes) {
      TaggedValue rid = TaggedValue::Int32(id);
      ledger->WriteRecord(rid, category, attributes, bytes);
    };
    auto pref = [&](const std::string& creator, int32_t n, int32_t version) {
      system->WritePreference(TaggedValue::Text(creator), n, true, version,
                              TaggedValue::FromBytes(bytes));
    };
    bool refused = false;
    try {
      const std::function<void()> viaPlatform[] = {
          // by Field
          [&] {
            auto slots = ledger->Categories();
            slots->SetName(2, text);
            slots->Commit();
          },
          [&] { create(text, "Bolv", "Data"); },
          [&] { create("New", text, "Data"); },
          [&] { create("New", "Bolv", text); },
          [&] { write(number, 0, 0); },
          [&] { write(99, number, 0); },
          [&] { write(99, 0, number); },
          [&] { write(99, 0, 0); },
          [&] { pref(text, 1, 1); },
          [&] { pref("Bolv", number, 1); },
          [&] { pref("Bolv", 1, number); },
          [&] { pref("Bolv", 1, 1); },
      };
      viaPlatform[field]();
    } catch (const ConduitError& e) {
      refused = e.number() == err::kInvalidArgument || e.number() == err::kPlatform;
    }
    EXPECT_EQ(refused, !stored);
    const std::string image = device.ToJson();
    EXPECT_EQ(ImageErrorOf([&] { EXPECT_EQ(Device::FromJson(image, "mem").ToJson(), image); }), "");

    // Written straight into the image: the loader refuses the same values.
    Device raw = SampleDevice();
    Database& db = raw.databases[0];
    Database copy;
    copy.name = "New";
    copy.creator = "Bolv";
    copy.type = "Data";
    auto append = [&](int32_t id, int32_t category, int32_t attributes, const Bytes& data) {
      db.Append({id, category, attributes, data});
    };
    auto addPref = [&](const std::string& creator, int32_t n, int32_t version, const Bytes& data) {
      raw.preferences.push_back({creator, n, version, data});
    };
    const std::function<void()> intoImage[] = {
        // by Field
        [&] { db.categories[2].name = text; },
        [&] { copy.name = text; },
        [&] { copy.creator = text; },
        [&] { copy.type = text; },
        [&] { append(number, 0, 0, Bytes()); },
        [&] { append(99, number, 0, Bytes()); },
        [&] { append(99, 0, number, Bytes()); },
        [&] { append(99, 0, 0, bytes); },
        [&] { addPref(text, 1, 1, Bytes()); },
        [&] { addPref("Bolv", number, 1, Bytes()); },
        [&] { addPref("Bolv", 1, number, Bytes()); },
        [&] { addPref("Bolv", 1, 1, bytes); },
    };
    intoImage[field]();
    if (field == kDbName || field == kDbCreator || field == kDbType) {
      raw.databases.push_back(std::move(copy));
    }
    EXPECT_EQ(ImageErrorOf([&] { Device::FromJson(raw.ToJson(), "mem"); }).empty(), stored);
  }
}

TEST(HandheldImageFile, SaveReplacesAtomicallyAndLoadNamesTheFile) {
  TestTrash trash;
  TempDir dir;
  std::string path = dir.File("hh.json"), folder = dir.File("folder.json");
  WriteFile(path, "old");
#ifndef _WIN32  // Windows files have no such permission bits
  const auto mode = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path, mode);
#endif
  SampleDevice().Save(path);
  EXPECT_EQ(Device::Load(path).ToJson(), SampleDevice().ToJson());
  EXPECT_EQ(trash.FileNames(), Names{}) << "the old image is deleted, never trashed";
#ifndef _WIN32
  EXPECT_EQ(fs::status(path).permissions(), mode);  // the replaced file's are kept
#endif

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
  Database* db = device.FindDatabase("MaBolvarin Data");
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
