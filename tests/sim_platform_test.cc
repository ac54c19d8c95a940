// The simulated platform objects, called as the conduit calls them.
#include "handheld/sim_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/error.h"
#include "handheld/device.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

constexpr char kProgId[] = "HXDirect.HXRecordAdapter";
constexpr char kLedger[] = "MaBolvarin Data";

// The error number `body` raised, 0 if it raised none.
int32_t Raised(const std::function<void()>& body) { return testing::RaisedBy(body).number; }

class SimPlatformTest : public ::testing::Test {
 protected:
  SimPlatformTest() {
    Database& db = device_.databases.emplace_back();
    db.name = kLedger;
    for (const Record& r : {Record{12, 1, 0x40, {0xC7, 0x99}}, Record{5, 2, 0xC0, {1}},
                            Record{40, 3, 0, {}}, Record{7, 0, 0x88, {2}}})
      db.Append(r);
    device_.preferences.push_back({"Bolv", 0, 7, {1, 2, 3}});
  }
  std::shared_ptr<HXRecordAdapter> Open() { return services_->OpenDatabase(kLedger, kProgId, 208); }
  Database& Ledger() { return *device_.FindDatabase(kLedger); }
  // Identifiers read from position `from` (or on from where the adapter is, if
  // negative) up to the end.
  static std::vector<int32_t> Ids(HXRecordAdapter& adapter, int32_t from = 0) {
    if (from >= 0) adapter.SetReadPosition(from);
    std::vector<int32_t> ids;
    TaggedValue id;
    int32_t category = 0, attributes = 0;
    while (adapter.ReadNext(0, id, category, attributes), !adapter.AtEnd())
      ids.push_back(id.AsInt32());
    return ids;
  }

  Device device_;
  SimPlatform platform_{device_, RunRequest{}};
  std::shared_ptr<ConduitServices> services_ = platform_.NewConduitServices();
};

TEST_F(SimPlatformTest, OpenAndCreateDatabases) {
  EXPECT_EQ(Raised([&] { services_->OpenDatabase("None", kProgId, 208); }), err::kPlatform);
  auto create = [&](const std::string& name, const char* creator = "Bolv",
                    const char* type = "Data") {
    return services_->CreateDatabase(name, kProgId, TaggedValue::Text(creator),
                                     TaggedValue::Text(type), 208, 0, 1, 0);
  };
  auto ledger = Open();
  EXPECT_TRUE(Ids(*create("New")).empty());
  EXPECT_EQ(device_.FindDatabase("New")->creator, "Bolv");
  EXPECT_EQ(Raised([&] { create("New"); }), err::kPlatform);
  // Growing the device's list of databases must not strand an open adapter.
  for (int i = 0; i < 20; ++i) create("Extra " + std::to_string(i));
  EXPECT_EQ(Ids(*ledger), (std::vector<int32_t>{12, 5, 40, 7}));
  // What the device cannot store is refused, by the checks the image loader
  // uses too.
  auto system = platform_.NewPlatformSystem();
  TaggedValue rid = TaggedValue::Int32(99);
  const std::function<void()> refused[] = {
      [&] { create(""); },
      [&] { create("N", "Bol"); },
      [&] { create("N", "Bolv", "Datas"); },
      [&] { ledger->WriteRecord(rid, 16, 0, {}); },
      [&] { ledger->WriteRecord(rid, 0, 256, {}); },
      [&] { system->WritePreference(TaggedValue::Text("Bolvx"), 1, true, 1, {}); }};
  for (const auto& call : refused) EXPECT_EQ(Raised(call), err::kInvalidArgument);
}

TEST_F(SimPlatformTest, RecordsAreReadWrittenAndRemovedInRecordOrder) {
  auto adapter = Open();
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  adapter->SetReadPosition(0);
  EXPECT_EQ(adapter->ReadNext(0, id, category, attributes), (Bytes{0xC7, 0x99}));
  EXPECT_EQ(std::pair(category, attributes), std::pair(1, 0x40));
  EXPECT_EQ(Ids(*adapter, -1), (std::vector<int32_t>{5, 40, 7}));  // deleted ones too
  EXPECT_TRUE(adapter->ReadNext(0, id, category, attributes).empty() && adapter->AtEnd());
  EXPECT_EQ(Ids(*adapter, 2), (std::vector<int32_t>{40, 7}));

  // Writing creates or overwrites; each new identifier is unique: the two
  // records created from 0 (an empty identifier counts as 0) are both there.
  TaggedValue a = TaggedValue::Int32(0), b, forty = TaggedValue::Int32(40);
  TaggedValue unknown = TaggedValue::Int32(3000);
  adapter->WriteRecord(a, 4, 0, {0xAA});
  adapter->WriteRecord(b, 0, 0, {0xBB});
  adapter->WriteRecord(forty, 9, 0, {0x10, 0x20});
  adapter->WriteRecord(unknown, 1, 0x40, {});
  EXPECT_EQ(Ids(*adapter), (std::vector<int32_t>{12, 5, 40, 7, a.AsInt32(), b.AsInt32(), 3000}));
  const Record* r = Ledger().Find(40);
  EXPECT_EQ(std::tuple(r->category, r->attributes, r->data), std::tuple(9, 0, Bytes{0x10, 0x20}));

  // Removals in the middle of a pass neither skip nor repeat a record, and a
  // later position counts only the records that are left.
  adapter->SetReadPosition(0);
  adapter->ReadNext(0, id, category, attributes);
  adapter->RemoveRecord(TaggedValue::Int32(12));
  adapter->RemoveRecord(TaggedValue::Int32(40));
  EXPECT_EQ(Raised([&] { adapter->RemoveRecord(TaggedValue::Int32(40)); }), err::kPlatform);
  EXPECT_EQ(Ids(*adapter, -1), (std::vector<int32_t>{5, 7, a.AsInt32(), b.AsInt32(), 3000}));
  EXPECT_EQ(Ids(*adapter, 1), (std::vector<int32_t>{7, a.AsInt32(), b.AsInt32(), 3000}));
  // RemoveSet's purge (1) and clearing (0) show in the engine scenarios.
  EXPECT_EQ(Raised([&] { adapter->RemoveSet(2, 255); }), err::kInvalidArgument);
}

TEST_F(SimPlatformTest, CategoriesAreStagedUntilCommit) {
  auto cats = Open()->Categories();
  cats->SetName(3, "Travel         ");  // the desktop's padded form
  cats->SetID(3, 200);
  cats->SetDirty(3, true);
  // A name the device could not store is refused, not cut.
  EXPECT_EQ(Raised([&] { cats->SetName(4, "A name longer than fifteen"); }), err::kInvalidArgument);
  EXPECT_EQ(cats->Name(4), "");
  EXPECT_EQ(Ledger().categories[3].name, "");
  cats->Commit();
  const Category& travel = Ledger().categories[3];
  EXPECT_EQ(std::tuple(travel.name, travel.id, travel.dirty), std::tuple("Travel", 200, true));
  // Reset, the dirty flags, and LastIndex, show in the category runs' tests.

  const std::vector<std::function<void()>> outside = {
      [&] { cats->Name(16); }, [&] { cats->SetDirty(-1, true); }, [&] { cats->SetLastIndex(16); },
      [&] { cats->SetLastIndex(-2); }};
  for (const auto& call : outside) EXPECT_EQ(Raised(call), err::kSubscriptOutOfRange);
}

TEST_F(SimPlatformTest, PreferenceOverwriteAndRecordIdentifierText) {
  auto system = platform_.NewPlatformSystem();
  const TaggedValue bolv = TaggedValue::Text("Bolv");
  int32_t version = 0;
  TaggedValue data;
  system->WritePreference(bolv, 0, true, 9, TaggedValue::FromBytes({9}));  // was version 7
  system->ReadPreference(bolv, 0, true, version, data);
  EXPECT_EQ(std::pair(version, data.AsBytes()), std::pair(9, Bytes{9}));

  auto utility = platform_.NewPlatformUtility();
  EXPECT_EQ(utility->TextToRecordId(" +42 "), TaggedValue::Int32(42));
  EXPECT_EQ(Raised([&] { utility->TextToRecordId("12x"); }), err::kTypeMismatch);
  EXPECT_EQ(Raised([&] { utility->TextToRecordId("+-5"); }), err::kTypeMismatch);
  EXPECT_EQ(Raised([&] { utility->TextToRecordId("2147483648"); }), err::kOverflow);
}

}  // namespace
}  // namespace bolvarin::handheld
