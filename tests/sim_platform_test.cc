#include "handheld/sim_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "handheld/device.h"

namespace bolvarin::handheld {
namespace {

constexpr char kProgId[] = "HXDirect.HXRecordAdapter";
constexpr char kLedger[] = "MaBolvarin Data";

// Runs `body` and returns the platform error it raised (number 0 if none).
template <typename F>
ConduitError Raised(F body) {
  try {
    body();
  } catch (const ConduitError& e) {
    return e;
  }
  return ConduitError(0, "nothing raised");
}

Device LedgerDevice(const std::vector<Record>& records) {
  Device device;
  Database db;
  db.name = kLedger;
  db.creator = "Bolv";
  db.type = "Data";
  for (size_t i = 0; i < 16; ++i) {
    db.categories[i] = {"Cat" + std::to_string(i), static_cast<int32_t>(i + 10), i % 2 == 0};
  }
  for (const auto& r : records) db.Append(r);
  device.databases.push_back(db);
  device.preferences.push_back({"Bolv", 0, 7, {1, 2, 3}});
  return device;
}

struct Read {
  int32_t id, category, attributes;
  Bytes data;
};

std::vector<Read> ReadAll(HXRecordAdapter& adapter, int32_t n = 0) {
  std::vector<Read> out;
  adapter.SetReadPosition(0);
  for (;;) {
    TaggedValue id;
    int32_t category = -1, attributes = -1;
    Bytes data = adapter.ReadNext(n++, id, category, attributes);
    if (adapter.AtEnd()) break;
    out.push_back({id.AsInt32(), category, attributes, data});
  }
  return out;
}

std::vector<int32_t> Ids(const std::vector<Read>& reads) {
  std::vector<int32_t> ids;
  for (const auto& r : reads) ids.push_back(r.id);
  return ids;
}

class SimPlatformTest : public ::testing::Test {
 protected:
  SimPlatformTest()
      : device_(LedgerDevice({{12, 1, 0x40, {0xC7, 0x99, 0x00}},
                              {5, 2, 0xC0, {0x01}},
                              {40, 3, 0, {}},
                              {7, 0, 0x88, {0x02}}})),
        platform_(device_, RunRequest{}) {}

  std::shared_ptr<HXRecordAdapter> Open() {
    return platform_.NewConduitServices()->OpenDatabase(kLedger, kProgId, 208);
  }
  Database& Ledger() { return *device_.FindDatabase(kLedger); }

  Device device_;
  SimPlatform platform_;
};

TEST(SimPlatformContext, ReportsTheRunRequest) {
  Device device;
  RunRequest run;
  run.syncType = 42;  // any code is passed through
  run.desktopPath = "/tmp/desk/";
  run.desktopFileName = "ledger.txt";
  run.databases = {"A", "B"};
  SimPlatform platform(device, run);
  auto context = platform.NewPlatformSystem()->GetSyncContext();
  EXPECT_EQ(context->SyncTypeCode(), 42);
  EXPECT_EQ(context->DesktopPath(), "/tmp/desk/");
  EXPECT_EQ(context->DesktopFileName(), "ledger.txt");
  EXPECT_EQ(context->DatabaseCount(), 2);
  EXPECT_EQ(context->DatabaseNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(context->CreatorCode(), 0x426F6C76);
  EXPECT_EQ(platform.NewPlatformUtility()->CodeToText(context->TypeCode(), -1), "Data");
  platform.run().syncType = -1;
  EXPECT_EQ(context->SyncTypeCode(), -1);
}

TEST(SimPlatformServices, LogEntriesAreKeptAndForwarded) {
  Device device;
  std::vector<std::string> seen;
  SimPlatform platform(device, RunRequest{}, [&](const LogEntry& e) { seen.push_back(e.text); });
  auto services = platform.NewConduitServices();
  services->AddLogEntry("SyncBolvarin 1.3.2", -1, 0, 0);
  services->AddLogEntry("Ok SyncBolvarin\n", -1, 0, -1);
  ASSERT_EQ(platform.log().size(), 2u);
  EXPECT_EQ(platform.log()[1].text, "Ok SyncBolvarin\n");
  EXPECT_EQ(platform.log()[1].c, -1);
  EXPECT_EQ(seen, (std::vector<std::string>{"SyncBolvarin 1.3.2", "Ok SyncBolvarin\n"}));
}

TEST(SimPlatformServices, OpenAndCreateDatabases) {
  Device device;
  SimPlatform platform(device, RunRequest{});
  auto services = platform.NewConduitServices();
  ConduitError missing = Raised([&] { services->OpenDatabase(kLedger, kProgId, 208); });
  EXPECT_EQ(missing.number(), err::kPlatform);
  EXPECT_EQ(missing.description(), "database \"MaBolvarin Data\" does not exist");

  auto adapter = services->CreateDatabase(kLedger, kProgId, TaggedValue::Text("Bolv"),
                                          TaggedValue::Text("Data"), 208, 0, 1, 0);
  ASSERT_NE(device.FindDatabase(kLedger), nullptr);
  EXPECT_EQ(device.FindDatabase(kLedger)->creator, "Bolv");
  EXPECT_EQ(device.FindDatabase(kLedger)->type, "Data");
  EXPECT_TRUE(ReadAll(*adapter).empty());
  EXPECT_NE(services->OpenDatabase(kLedger, kProgId, 208), nullptr);

  EXPECT_EQ(Raised([&] {
              services->CreateDatabase(kLedger, kProgId, TaggedValue::Text("Bolv"),
                                       TaggedValue::Text("Data"), 208, 0, 1, 0);
            }).number(),
            err::kPlatform);
  EXPECT_EQ(Raised([&] { services->OpenDatabase(kLedger, "Other.Class", 208); }).number(),
            err::kPlatform);
  EXPECT_EQ(Raised([&] {
              services->CreateDatabase("X", kProgId, TaggedValue::Text("Bo"),
                                       TaggedValue::Text("Data"), 208, 0, 1, 0);
            }).number(),
            err::kInvalidArgument);
}

TEST(SimPlatformServices, AdapterOutlivesGrowthOfTheDatabaseList) {
  Device device = LedgerDevice({{1, 0, 0, {9}}});
  SimPlatform platform(device, RunRequest{});
  auto services = platform.NewConduitServices();
  auto adapter = services->OpenDatabase(kLedger, kProgId, 208);
  for (int i = 0; i < 20; ++i) {
    services->CreateDatabase("Extra " + std::to_string(i), kProgId, TaggedValue::Text("Xtra"),
                             TaggedValue::Text("DATA"), 208, 0, 1, 0);
  }
  EXPECT_EQ(Ids(ReadAll(*adapter)), (std::vector<int32_t>{1}));
}

TEST_F(SimPlatformTest, ReadNextReturnsEveryRecordOnceInOrderThenAtEnd) {
  auto adapter = Open();
  adapter->SetReadPosition(0);
  EXPECT_FALSE(adapter->AtEnd());
  // The first argument is ignored: any value reads the next record.
  std::vector<Read> reads = ReadAll(*adapter, 77);
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_EQ(Ids(reads), (std::vector<int32_t>{12, 5, 40, 7}));
  EXPECT_EQ(reads[0].category, 1);
  EXPECT_EQ(reads[0].attributes, 0x40);
  EXPECT_EQ(reads[0].data, (Bytes{0xC7, 0x99, 0x00}));
  EXPECT_EQ(reads[1].attributes, 0xC0);  // deleted records are read too
  EXPECT_TRUE(adapter->AtEnd());

  // Past the end: empty bytes, still at the end; position 0 starts again.
  TaggedValue id = TaggedValue::Int32(3);
  int32_t category = 9, attributes = 9;
  EXPECT_TRUE(adapter->ReadNext(0, id, category, attributes).empty());
  EXPECT_TRUE(adapter->AtEnd());
  EXPECT_TRUE(id.IsEmpty());
  adapter->SetReadPosition(0);
  EXPECT_FALSE(adapter->AtEnd());
  adapter->ReadNext(0, id, category, attributes);
  EXPECT_EQ(id.AsInt32(), 12);

  adapter->SetReadPosition(2);
  adapter->ReadNext(0, id, category, attributes);
  EXPECT_EQ(id.AsInt32(), 40);
}

TEST_F(SimPlatformTest, RemovalsDuringAReadPassSkipNothingAndRepeatNothing) {
  auto adapter = Open();
  adapter->SetReadPosition(0);
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  adapter->ReadNext(0, id, category, attributes);  // 12
  adapter->RemoveRecord(TaggedValue::Int32(12));
  adapter->RemoveRecord(TaggedValue::Int32(40));
  std::vector<int32_t> rest;
  for (;;) {
    adapter->ReadNext(0, id, category, attributes);
    if (adapter->AtEnd()) break;
    rest.push_back(id.AsInt32());
  }
  EXPECT_EQ(rest, (std::vector<int32_t>{5, 7}));
  // A position counts the records that are left.
  adapter->SetReadPosition(1);
  adapter->ReadNext(0, id, category, attributes);
  EXPECT_EQ(id.AsInt32(), 7);
}

TEST_F(SimPlatformTest, WriteRecordCreatesOverwritesAndNumbers) {
  auto adapter = Open();
  // Identifier 0 creates at the end with a new identifier, returned as Int32.
  TaggedValue id = TaggedValue::Int32(0);
  adapter->WriteRecord(id, 4, 0, {0xAA});
  ASSERT_EQ(id.kind(), TaggedValue::Kind::kInt32);
  int32_t first = id.AsInt32();
  EXPECT_GT(first, 40);
  TaggedValue empty;  // an empty identifier counts as 0
  adapter->WriteRecord(empty, 0, 0, {0xBB});
  EXPECT_NE(empty.AsInt32(), first);
  EXPECT_GT(empty.AsInt32(), 40);

  // An existing identifier is overwritten in place.
  TaggedValue five = TaggedValue::Int32(5);
  adapter->WriteRecord(five, 9, 0, {0x10, 0x20});
  // An unknown identifier is created with that identifier.
  TaggedValue text = TaggedValue::Text("3000");
  adapter->WriteRecord(text, 1, 0x40, {});
  EXPECT_EQ(text, TaggedValue::Int32(3000));

  std::vector<Read> reads = ReadAll(*adapter);
  EXPECT_EQ(Ids(reads), (std::vector<int32_t>{12, 5, 40, 7, first, empty.AsInt32(), 3000}));
  EXPECT_EQ(reads[1].category, 9);
  EXPECT_EQ(reads[1].attributes, 0);
  EXPECT_EQ(reads[1].data, (Bytes{0x10, 0x20}));

  TaggedValue bad = TaggedValue::Int32(12);
  EXPECT_EQ(Raised([&] { adapter->WriteRecord(bad, 16, 0, {}); }).number(), err::kInvalidArgument);
  EXPECT_EQ(Raised([&] { adapter->WriteRecord(bad, -1, 0, {}); }).number(), err::kInvalidArgument);
  EXPECT_EQ(Raised([&] { adapter->WriteRecord(bad, 0, 256, {}); }).number(), err::kInvalidArgument);
  EXPECT_EQ(Ledger().Find(12)->category, 1);  // refused writes change nothing
}

TEST_F(SimPlatformTest, RemoveRecordAndRemoveSet) {
  auto adapter = Open();
  adapter->RemoveRecord(TaggedValue::Int32(40));
  EXPECT_EQ(Ledger().Find(40), nullptr);
  ConduitError unknown = Raised([&] { adapter->RemoveRecord(TaggedValue::Int32(40)); });
  EXPECT_EQ(unknown.number(), err::kPlatform);
  EXPECT_NE(unknown.description().find("record 40"), std::string::npos);

  // Selector 1 purges the records with the deleted bit (0xC0 and 0x88 here).
  adapter->RemoveSet(1, 255);
  EXPECT_EQ(Ids(ReadAll(*adapter)), (std::vector<int32_t>{12}));
  EXPECT_EQ(Raised([&] { adapter->RemoveSet(2, 255); }).number(), err::kInvalidArgument);
  adapter->RemoveSet(0, 255);
  EXPECT_TRUE(ReadAll(*adapter).empty());
  EXPECT_EQ(Ledger().RecordCount(), 0u);
}

TEST_F(SimPlatformTest, CategoriesAreStagedUntilCommit) {
  auto adapter = Open();
  auto cats = adapter->Categories();
  EXPECT_EQ(cats->Name(3), "Cat3");
  EXPECT_EQ(cats->ID(3), 13);
  EXPECT_TRUE(cats->Dirty(2));

  cats->SetName(3, "Travel         ");  // the desktop's padded form
  cats->SetID(3, 200);
  cats->SetDirty(3, true);
  cats->SetName(4, "A name longer than fifteen");
  EXPECT_EQ(cats->Name(3), "Travel");
  EXPECT_EQ(cats->Name(4), "A name longer t");
  EXPECT_EQ(Ledger().categories[3].name, "Cat3") << "written before Commit";

  cats->Commit();
  EXPECT_EQ(Ledger().categories[3].name, "Travel");
  EXPECT_EQ(Ledger().categories[3].id, 200);
  EXPECT_TRUE(Ledger().categories[3].dirty);

  cats->ResetDirtyFlags();
  EXPECT_FALSE(cats->Dirty(3));
  EXPECT_TRUE(Ledger().categories[3].dirty) << "reset reached the device before Commit";
  cats->SetLastIndex(-1);
  EXPECT_EQ(Ledger().lastIndex, -1);
  EXPECT_EQ(Ledger().categories[0].name, "Cat0");  // LastIndex changes no slot
  cats->Commit();
  for (const auto& slot : Ledger().categories) EXPECT_FALSE(slot.dirty);

  // A new object starts from what the device now holds.
  EXPECT_EQ(adapter->Categories()->Name(3), "Travel");

  EXPECT_EQ(platform_.categoryCalls(),
            (std::vector<std::string>{"Name 3", "ID 3", "Dirty 3", "Name 4", "Commit",
                                      "ResetDirtyFlags", "LastIndex -1", "Commit"}));
}

TEST_F(SimPlatformTest, CategoryIndexOutsideTheSlotsIsRefused) {
  auto cats = Open()->Categories();
  struct Case {
    const char* what;
    std::function<void()> call;
  };
  const std::vector<Case> cases = {
      {"Name 16", [&] { cats->Name(16); }},
      {"SetName -1", [&] { cats->SetName(-1, "x"); }},
      {"ID 16", [&] { cats->ID(16); }},
      {"SetID 99", [&] { cats->SetID(99, 1); }},
      {"Dirty -2", [&] { cats->Dirty(-2); }},
      {"SetDirty 16", [&] { cats->SetDirty(16, true); }},
      {"LastIndex 16", [&] { cats->SetLastIndex(16); }},
      {"LastIndex -2", [&] { cats->SetLastIndex(-2); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Raised(c.call).number(), err::kSubscriptOutOfRange) << c.what;
  }
  EXPECT_TRUE(platform_.categoryCalls().empty());
  cats->SetLastIndex(15);
  EXPECT_EQ(Ledger().lastIndex, 15);
}

TEST(SimPlatformUtility, RecordIdentifiersAndCodes) {
  Device device;
  SimPlatform platform(device, RunRequest{});
  auto utility = platform.NewPlatformUtility();
  EXPECT_EQ(utility->CodeToText(0x426F6C76, -1), "Bolv");
  EXPECT_EQ(utility->RecordIdToText(TaggedValue::Int32(4711)), "4711");
  EXPECT_EQ(utility->RecordIdToText(TaggedValue::Int32(-12)), "-12");

  struct Case {
    std::string text;
    int32_t id;  // when error is 0
    int32_t error;
  };
  const std::vector<Case> cases = {
      {"12", 12, 0},
      {"  42 ", 42, 0},
      {"-7", -7, 0},
      {"+5", 5, 0},
      {"2147483647", 2147483647, 0},
      {"abc", 0, err::kTypeMismatch},
      {"", 0, err::kTypeMismatch},
      {"12x", 0, err::kTypeMismatch},
      {"1 2", 0, err::kTypeMismatch},
      {"2147483648", 0, err::kOverflow},
  };
  for (const auto& c : cases) {
    if (c.error == 0) {
      EXPECT_EQ(utility->TextToRecordId(c.text), TaggedValue::Int32(c.id)) << c.text;
    } else {
      ConduitError e = Raised([&] { utility->TextToRecordId(c.text); });
      EXPECT_EQ(e.number(), c.error) << c.text;
      EXPECT_NE(e.description().find("\"" + c.text + "\""), std::string::npos) << e.description();
    }
  }
}

TEST_F(SimPlatformTest, PreferencesReadWriteAndMissing) {
  auto system = platform_.NewPlatformSystem();
  int32_t version = 0;
  TaggedValue data;
  system->ReadPreference(TaggedValue::Text("Bolv"), 0, true, version, data);
  EXPECT_EQ(version, 7);
  EXPECT_EQ(data, TaggedValue::FromBytes({1, 2, 3}));

  // A write replaces the bytes and keeps the version it is given.
  system->WritePreference(TaggedValue::Text("Bolv"), 0, true, 7, TaggedValue::FromBytes({9}));
  system->ReadPreference(TaggedValue::Text("Bolv"), 0, true, version, data);
  EXPECT_EQ(version, 7);
  EXPECT_EQ(data.AsBytes(), Bytes{9});

  ConduitError missing =
      Raised([&] { system->ReadPreference(TaggedValue::Text("Bolv"), 3, true, version, data); });
  EXPECT_EQ(missing.number(), err::kPlatform);
  EXPECT_EQ(missing.description(), "preference 3 of creator \"Bolv\" does not exist");

  // Writing a missing preference creates it.
  system->WritePreference(TaggedValue::Text("Othr"), 2, true, 1, TaggedValue::FromBytes({}));
  ASSERT_NE(device_.FindPreference("Othr", 2), nullptr);
  EXPECT_EQ(device_.FindPreference("Othr", 2)->version, 1);
  EXPECT_EQ(Raised([&] {
              system->WritePreference(TaggedValue::Text("Bolv"), 0, true, 1,
                                      TaggedValue::Text("not bytes"));
            }).number(),
            err::kTypeMismatch);
  EXPECT_EQ(device_.FindPreference("Bolv", 0)->data, Bytes{9});
}

TEST_F(SimPlatformTest, FaultInjectionMakesTheNamedOperationRaise) {
  auto system = platform_.NewPlatformSystem();
  auto services = platform_.NewConduitServices();
  auto adapter = Open();
  struct Case {
    const char* operation;
    std::function<void()> call;
  };
  int32_t version = 0;
  TaggedValue data, id;
  int32_t category = 0, attributes = 0;
  const std::vector<Case> cases = {
      {"GetSyncContext", [&] { system->GetSyncContext(); }},
      {"ReadPreference",
       [&] { system->ReadPreference(TaggedValue::Text("Bolv"), 0, true, version, data); }},
      {"WritePreference",
       [&] {
         system->WritePreference(TaggedValue::Text("Bolv"), 0, true, 1, TaggedValue::FromBytes({}));
       }},
      {"OpenDatabase", [&] { services->OpenDatabase(kLedger, kProgId, 208); }},
      {"CreateDatabase",
       [&] {
         services->CreateDatabase("New", kProgId, TaggedValue::Text("Bolv"),
                                  TaggedValue::Text("Data"), 208, 0, 1, 0);
       }},
      {"AddLogEntry", [&] { services->AddLogEntry("x", -1, -1, 0); }},
      {"ReadNext", [&] { adapter->ReadNext(0, id, category, attributes); }},
      {"WriteRecord", [&] { adapter->WriteRecord(id, 0, 0, {}); }},
      {"RemoveRecord", [&] { adapter->RemoveRecord(TaggedValue::Int32(12)); }},
      {"RemoveSet", [&] { adapter->RemoveSet(0, 255); }},
      {"Categories", [&] { adapter->Categories(); }},
  };
  for (const auto& c : cases) {
    platform_.FailOperation(c.operation);
    ConduitError e = Raised(c.call);
    EXPECT_EQ(e.number(), err::kPlatform) << c.operation;
    EXPECT_EQ(e.description(), std::string("simulated failure of ") + c.operation);
  }
  // Nothing that failed changed the device.
  EXPECT_EQ(Ledger().RecordCount(), 4u);
  EXPECT_EQ(device_.FindDatabase("New"), nullptr);
  EXPECT_EQ(device_.FindPreference("Bolv", 0)->data, (Bytes{1, 2, 3}));
  EXPECT_TRUE(platform_.log().empty());
}

TEST_F(SimPlatformTest, FailOperationAfterLetsSomeCallsThrough) {
  auto adapter = Open();
  platform_.FailOperationAfter("WriteRecord", 2);
  for (int i = 0; i < 2; ++i) {
    TaggedValue id = TaggedValue::Int32(0);
    adapter->WriteRecord(id, 0, 0, {});
  }
  TaggedValue id = TaggedValue::Int32(0);
  EXPECT_EQ(Raised([&] { adapter->WriteRecord(id, 0, 0, {}); }).number(), err::kPlatform);
  EXPECT_EQ(Raised([&] { adapter->WriteRecord(id, 0, 0, {}); }).number(), err::kPlatform);
  EXPECT_EQ(Ledger().RecordCount(), 6u);
}

}  // namespace
}  // namespace bolvarin::handheld
