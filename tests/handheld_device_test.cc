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
  db.Append(Record(7, 0, 0, Bytes()));
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
  const Category& c = db.categories[3];
  const Record& r = db.Records()[0];
  const Preference& p = back.preferences[0];
  EXPECT_EQ(std::tie(db.name, db.creator, db.type, c.name, c.id, c.dirty, r.id, r.category,
                     r.attributes, r.data, p.creator, p.number, p.version, p.data),
            std::tuple("MaBolvarin Data", "Bolv", "Data", "Sant\xE9", 200, true, -5, 15, 0xC0,
                       Bytes{0xC7, 0x99, 0x00}, "Bolv", 0, 3, Bytes{0, 1, 0xFE}));
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
  const std::string c15(15, 'c'), d31(31, 'd');
  // The numbers and the data are stored in every place that keeps them.
  enum Field { kSlot, kName, kCreator, kType, kCategory, kAttrs, kPrefCreator, kNumbers, kData };
  // Per field, the values both store and the values both refuse; a number
  // field's values are spelt in decimal.
  const struct {
    Field field;
    std::vector<std::string> stored, refused;
  } fields[] = {
      {kSlot, {"", c15, high}, {c15 + "c", nul}},
      {kName, {d31, high}, {d31 + "d", "", nul, "MaBolvarin Data"}},
      {kCreator, {"\xFF\x80\x01\x7F"}, {"Bol", code0}},
      {kType, {"Data"}, {"Datas", code0}},
      {kCategory, {"15"}, {"16", "-1"}},
      {kAttrs, {"255"}, {"256", "-1"}},
      {kPrefCreator, {high + "x"}, {code0, "Bolvx"}},
      {kNumbers, {"-2147483648", "2147483647"}, {}},
      {kData, {nul + high, ""}, {}},
  };
  for (const auto& [field, storedValues, refusedValues] : fields) {
    for (const bool stored : {true, false}) {
      for (const std::string& text : stored ? storedValues : refusedValues) {
        SCOPED_TRACE(std::to_string(field) + " \"" + text + "\"");
        const int32_t number = std::atoi(text.c_str());
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
        TaggedValue rid = TaggedValue::Int32(field == kNumbers ? number : 99);
        auto pref = [&](const std::string& creator, int32_t n, int32_t version) {
          system->WritePreference(TaggedValue::Text(creator), n, true, version,
                                  TaggedValue::FromBytes(bytes));
        };
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
            [&] { ledger->WriteRecord(rid, number, 0, bytes); },
            [&] { ledger->WriteRecord(rid, 0, number, bytes); },
            [&] { pref(text, 1, 1); },
            [&] {
              ledger->WriteRecord(rid, 0, 0, bytes);
              pref("Bolv", number, number);
            },
            [&] {
              ledger->WriteRecord(rid, 0, 0, bytes);
              pref("Bolv", 1, 1);
            },
        };
        const int32_t raised = bolvarin::testing::RaisedBy(viaPlatform[field]).number;
        EXPECT_EQ(raised == err::kInvalidArgument || raised == err::kPlatform, !stored);
        const std::string image = device.ToJson();
        EXPECT_EQ(ImageErrorOf([&] { EXPECT_EQ(Device::FromJson(image, "mem").ToJson(), image); }),
                  "");

        // Written straight into the image (beside a second, valid database):
        // the loader refuses the same values.
        Device raw = SampleDevice();
        raw.databases.resize(2);
        Database &db = raw.databases[0], &copy = raw.databases[1];
        std::tie(copy.name, copy.creator, copy.type) = std::tuple("New", "Bolv", "Data");
        const std::function<void()> intoImage[] = {
            // by Field
            [&] { db.categories[2].name = text; },
            [&] { copy.name = text; },
            [&] { copy.creator = text; },
            [&] { copy.type = text; },
            [&] { db.Append(Record(99, number, 0, Bytes())); },
            [&] { db.Append(Record(99, 0, number, Bytes())); },
            [&] { raw.preferences.push_back(Preference(text, 1, 1, Bytes())); },
            [&] {
              db.Append(Record(number, 0, 0, Bytes()));
              raw.preferences.push_back(Preference("Bolv", number, number, Bytes()));
            },
            [&] {
              db.Append(Record(99, 0, 0, bytes));
              raw.preferences.push_back(Preference("Bolv", 1, 1, bytes));
            },
        };
        intoImage[field]();
        EXPECT_EQ(ImageErrorOf([&] { Device::FromJson(raw.ToJson(), "mem"); }).empty(), stored);
      }
    }
  }
}

TEST(HandheldImageFile, SaveReplacesAtomically) {
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
}

// Reading the records compacts the database: lookups must follow the records
// that moved up, and a removed identifier is never handed out again.
TEST(HandheldDatabase, LookupsAfterCompactionAndIdentifiersAreNeverReused) {
  Database db;
  for (int32_t id = 1; id <= 3; ++id) db.Append(Record(id, 0, 0, Bytes()));
  EXPECT_TRUE(db.Remove(1));
  ASSERT_EQ(db.Records().size(), 2u);
  EXPECT_EQ(db.Find(3)->id, 3);
  EXPECT_TRUE(db.Remove(3));
  EXPECT_EQ(db.Append({}), 4);
}

}  // namespace
}  // namespace bolvarin::handheld
