// The link to the handheld: the calls a run makes, and a fast sync leaving
// alone the records the handheld already holds unchanged.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/record_attributes.h"
#include "base/sync_type.h"
#include "conduit/csync.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "lists/preference_lists.h"
#include "tests/lists_test_support.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using handheld::Device;
using handheld::SimPlatform;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr char kData[] = "MaBolvarin.txt";

// What a run left: the data file, the handheld, the log, and its calls.
struct Outcome {
  std::string file, image;
  std::vector<std::string> log;
  handheld::CallCounts calls;
};

Outcome Sync(const TempDir& dir, Device& device, SyncType type, bool rewriteUnchanged = false) {
  lists_testing::ScopedSettings settings(dir.File("settings"));
  SimPlatform platform(device, {CodeOf(type), dir.path()});
  {
    CSync engine(platform);
    engine.RewriteUnchangedRecords(rewriteUnchanged);
    engine.SYNCHRONIZE();
  }
  Outcome out{ReadFile(dir.File(kData)), device.ToJson(), {}, platform.calls()};
  for (const auto& e : platform.log()) out.log.push_back(e.text);
  return out;
}

std::string Line(std::mt19937& rng, const std::string& id) {
  return id + ";" + std::to_string(rng() % 4) + "; 0;" + std::to_string(1 + rng() % 28) + "/0" +
         std::to_string(1 + rng() % 9) + "/2026;" + std::to_string(int(rng() % 20000) - 10000) +
         ";0;;;;;;;Note " + std::to_string(rng() % 1000);
}

// Both sides in step after a copy to the handheld, then changed on each
// side the ways a fast sync meets: edits on either or both sides, deletions
// on either side, records the handheld lost or holds with another category,
// other attribute bits or other bytes, desktop lines sharing an identifier,
// and new records on both sides.
void Generate(uint32_t seed, const TempDir& dir, Device& device) {
  std::mt19937 rng(seed);
  device = lists_testing::MakeDevice(
      BuildPreferenceBlock(std::string(24, '\0'), {"Cash"}, {"Food"}, {"Rent"}));
  std::string text;
  for (int k = 0, n = int(rng() % 25); k < n; ++k) text += Line(rng, "0") + "\r\n";
  WriteFile(dir.File(kData), text);
  Sync(dir, device, SyncType::kPcToHandheld);
  handheld::Database& db = *device.FindDatabase(kLedgerDatabase);
  std::string changed;
  std::istringstream lines(ReadFile(dir.File(kData)));
  for (std::string line; std::getline(lines, line);) {
    line.pop_back();  // the '\r' of "\r\n"
    const int32_t id = std::stoi(line);
    handheld::Record* rec = db.Find(id);
    const std::string other = Line(rng, std::to_string(id));
    switch (rng() % 16) {
      case 0:  // edited on the desktop
        line = other;
        break;
      case 1:  // edited on the handheld
        *rec = lists_testing::EncodedRecord(other, id);
        rec->attributes = kAttrChanged;
        break;
      case 2:  // edited on both sides
        *rec = lists_testing::EncodedRecord(Line(rng, "0"), id);
        rec->attributes = kAttrChanged;
        line = other;
        break;
      case 3:  // deleted on the desktop
        line.replace(line.find("; 0;"), 4, ";128;");
        break;
      case 4:  // deleted on the handheld
        rec->attributes = rng() % 2 ? kAttrDeleted : kAttrDeletedChanged;
        break;
      case 5:  // gone from the handheld
        db.Remove(id);
        break;
      case 6:  // clean, other category
        rec->category = (rec->category + 1) % 16;
        break;
      case 7:  // other attribute bits
        rec->attributes = rng() % 2 ? kAttrArchived : 0x20;
        break;
      case 8:  // clean, other bytes
        *rec = lists_testing::EncodedRecord(other, id);
        break;
      case 9:  // a second line, same id
        changed += other + "\r\n";
        break;
    }
    changed += line + "\r\n";
  }
  for (int k = 0, n = int(rng() % 3); k < n; ++k) changed += Line(rng, "0") + "\r\n";
  for (int k = 0, n = int(rng() % 3); k < n; ++k) {
    handheld::Record rec = lists_testing::EncodedRecord(Line(rng, "0"), 0);
    rec.attributes = kAttrChanged;
    db.Append(std::move(rec));
  }
  WriteFile(dir.File(kData), changed);
}

TEST(Link, FastSyncEndsAsIfItRewroteEveryRecordWithFewerWrites) {
  uint64_t everyRecord = 0, changedOnly = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TempDir dir;
    Device device;
    Generate(seed, dir, device);
    const std::string file = ReadFile(dir.File(kData));
    const Device before = device;
    const Outcome all = Sync(dir, device, SyncType::kFast, /*rewriteUnchanged=*/true);
    WriteFile(dir.File(kData), file);
    device = before;
    const Outcome some = Sync(dir, device, SyncType::kFast);
    EXPECT_EQ(some.file, all.file);
    EXPECT_EQ(some.image, all.image);
    EXPECT_EQ(some.log, all.log);
    everyRecord += all.calls.count("WriteRecord") ? all.calls.at("WriteRecord") : 0;
    changedOnly += some.calls.count("WriteRecord") ? some.calls.at("WriteRecord") : 0;
  }
  EXPECT_LT(changedOnly, everyRecord);
}

TEST(Link, AFastSyncAfterACopyWritesNothing) {
  TempDir dir;
  Device device =
      lists_testing::MakeDevice(BuildPreferenceBlock(std::string(24, '\0'), {}, {}, {}));
  std::mt19937 rng(3);
  WriteFile(dir.File(kData), Line(rng, "0") + "\r\n" + Line(rng, "0") + "\r\n");
  Sync(dir, device, SyncType::kPcToHandheld);
  const Outcome again = Sync(dir, device, SyncType::kFast);
  EXPECT_EQ(again.calls.count("WriteRecord"), 0u) << handheld::CallCountsLine(again.calls);
  EXPECT_GT(again.calls.at("ReadNext"), 1u);
}

// The host's --stats line counts the calls of its run, and --link-latency
// slows them without changing them.
TEST(Link, SyncStatsCountTheRunsCalls) {
  TempDir dir;
  testing::HostConduit conduit;
  // The demo keeps its settings in its folder.
  std::vector<std::string> args = {"demo", dir.path(), "--stats", "--link-latency", "1"};
  const testing::HostResult first = testing::RunHost(args), second = testing::RunHost(args);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("syncbolvarin: platform calls: "), std::string::npos) << first.err;
  EXPECT_NE(first.err.find(", WriteRecord "), std::string::npos) << first.err;
  EXPECT_NE(second.err.find(", ReadNext "), std::string::npos) << second.err;
  EXPECT_EQ(second.err.find("WriteRecord"), std::string::npos) << second.err;
}

}  // namespace
}  // namespace bolvarin
