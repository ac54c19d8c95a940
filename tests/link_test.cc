// The link to the handheld: the calls a run makes, and a fast sync leaving
// alone the records the handheld already holds unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/record_attributes.h"
#include "base/sync_type.h"
#include "conduit/csync.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "lists/preference_lists.h"
#include "tests/lists_test_support.h"
#ifndef _WIN32
#include "tests/test_trash.h"  // Linux only: its Windows half brings <windows.h>
#endif

namespace bolvarin {
namespace {

using handheld::Device;
using handheld::SimPlatform;
using namespace bolvarin::testing;

constexpr char kData[] = "MaBolvarin.txt";

// What a run left: the data file, the handheld, the log, and its calls.
struct Outcome {
  std::string file, image;
  std::vector<std::string> log;
  handheld::CallCounts calls;
};

Outcome Sync(const TempDir& dir, Device& device, SyncType type, bool rewriteUnchanged = false,
             const std::function<void(SimPlatform&)>& prepare = {}) {
  lists_testing::ScopedSettings settings(dir.File("settings"));
  SimPlatform platform(device, {CodeOf(type), dir.path()});
  if (prepare) prepare(platform);
  {
    CSync engine(platform);
    engine.RewriteUnchangedRecords(rewriteUnchanged);
    try {
      engine.SYNCHRONIZE();
    } catch (const ConduitError&) {
      if (!prepare) throw;  // a cut run may end with the platform's error
    }
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
// and new records on both sides. `changes` keeps to the changes a copy in
// one direction takes the same way a fast sync does: "D" those of the
// desktop (and clean differences), "H" those of the handheld.
void Generate(uint32_t seed, const TempDir& dir, Device& device, int count = 0,
              const std::string& changes = "DHBS") {
  std::mt19937 rng(seed);
  device = lists_testing::MakeDevice(
      BuildPreferenceBlock(std::string(24, '\0'), {"Cash"}, {"Food"}, {"Rent"}));
  std::string text;
  for (int k = 0, n = count ? count : int(rng() % 25); k < n; ++k) text += Line(rng, "0") + "\r\n";
  WriteFile(dir.File(kData), text);
  Sync(dir, device, SyncType::kPcToHandheld);
  handheld::Database& db = *device.FindDatabase(kLedgerDatabase);
  std::string changed;
  for (std::string line : lists_testing::LinesOf(ReadFile(dir.File(kData)))) {
    const int32_t id = std::stoi(line);
    handheld::Record* rec = db.Find(id);
    const std::string other = Line(rng, std::to_string(id));
    const size_t change = rng() % 16;
    // Which side each change is made on: Desktop, Handheld, Both, Shared id.
    if (change < 10 && changes.find("DHBDHDDBDS"[change]) == std::string::npos) {
      changed += line + "\r\n";
      continue;
    }
    switch (change) {
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
  const bool desktop = changes.find('D') != std::string::npos;
  const bool handheld = changes.find('H') != std::string::npos;
  for (int k = 0, n = desktop ? int(rng() % 3) : 0; k < n; ++k) changed += Line(rng, "0") + "\r\n";
  for (int k = 0, n = handheld ? int(rng() % 3) : 0; k < n; ++k) {
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

#ifndef _WIN32
// Every file of the desktop folder, by name.
using Folder = std::map<std::string, std::string>;

Folder Snapshot(const TempDir& dir) {
  Folder folder;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    folder[entry.path().filename().string()] = ReadFile(entry.path().string());
  return folder;
}

void Restore(const TempDir& dir, const Folder& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    std::filesystem::remove(entry.path());
  for (const auto& [name, contents] : folder) WriteFile(dir.File(name), contents);
}

// Both sides with the identifiers the handheld gave left out, so that runs
// that gave them in another order compare equal, and the desktop lines as
// the records they stand for, so that a line the handheld wrote compares
// equal to the same record written by hand. Checks on the way that every
// desktop line carries its own identifier, held by the handheld with the
// line's record.
std::string Canonical(const TempDir& dir, Device& device) {
  handheld::Database& db = *device.FindDatabase(kLedgerDatabase);
  std::vector<std::string> desktop, held;
  std::set<int32_t> ids;
  for (const std::string& line : lists_testing::LinesOf(ReadFile(dir.File(kData)))) {
    const int32_t id = std::stoi(line);
    EXPECT_TRUE(id != 0 && ids.insert(id).second) << "identifier missing or twice: " << line;
    const handheld::Record want = lists_testing::EncodedRecord(line, id);
    const handheld::Record* rec = db.Find(id);
    EXPECT_TRUE(rec && rec->category == want.category && rec->data == want.data)
        << "not on the handheld as it is on the desktop: " << line;
    desktop.push_back(std::to_string(want.category) + " " + handheld::ToHex(want.data));
  }
  for (const handheld::Record& r : db.Records())
    held.push_back(std::to_string(r.category) + " " + std::to_string(r.attributes) + " " +
                   handheld::ToHex(r.data));
  std::sort(desktop.begin(), desktop.end());
  std::sort(held.begin(), held.end());
  std::string all;
  for (const auto& text : desktop) all += "desktop " + text + "\n";
  for (const auto& text : held) all += "handheld " + text + "\n";
  for (const auto& [name, contents] : Snapshot(dir))
    if (name != kData) all += name + ": " + contents + "\n";
  for (const handheld::Category& c : db.categories)
    all += "slot " + c.name + " " + std::to_string(c.id) + (c.dirty ? " dirty\n" : "\n");
  for (const handheld::Preference& p : device.preferences) all += handheld::ToHex(p.data) + "\n";
  return all;
}

// A run cut at any one of its calls, then a fast sync, ends where the run
// uncut followed by a fast sync ends: whether the cut call only failed and
// the run went on, or the conduit was killed there (the desktop folder and
// the handheld as they stood at that call).
// The order of the conduit's steps is the same in both builds, so the sweep
// runs in the Linux build only; its hundreds of runs, each flushing its files
// to the disk, run in memory where the system offers a folder there.
TEST(Link, ARunCutAtAnyCallLosesAndDuplicatesNothing) {
  std::optional<ScopedEnv> inMemory;
  if (std::filesystem::is_directory("/dev/shm")) inMemory.emplace("TMPDIR", "/dev/shm");
  // A copy cut before it changed anything is followed by a fast sync that
  // merges instead: its scenario keeps to changes both take the same way.
  const std::pair<SyncType, std::string> runs[] = {
      {SyncType::kFast, "DHB"}, {SyncType::kPcToHandheld, "D"}, {SyncType::kHandheldToPc, "H"}};
  for (const auto& [type, changes] : runs) {
    TempDir dir;
    Device start;
    Generate(7, dir, start, 30, changes);
    if (type != SyncType::kHandheldToPc) {
      WriteFile(dir.File("categories.txt"), "Unfiled, 0,True\r\nFood, 1,True\r\n");
      WriteFile(dir.File("Mode.txt"), "Cash\r\nCard\r\n");
    }
    // A copy to the desktop takes every slot where a fast sync takes the
    // changed ones, even when no run is cut.
    if (type == SyncType::kFast)
      start.FindDatabase(kLedgerDatabase)->categories[2] = {"Rent", 2, true};
    const Folder begin = Snapshot(dir);
    Device device = start;
    const Outcome whole = Sync(dir, device, type);
    Sync(dir, device, SyncType::kFast);
    const std::string want = Canonical(dir, device);
    const uint64_t calls = std::accumulate(whole.calls.begin(), whole.calls.end(), uint64_t{0},
                                           [](uint64_t n, const auto& c) { return n + c.second; });
    for (uint64_t n = 1; n <= calls; ++n) {
      SCOPED_TRACE("run type " + std::to_string(CodeOf(type)) + ", cut at call " +
                   std::to_string(n));
      Restore(dir, begin);
      device = start;
      Folder atCut;
      Device deviceAtCut;
      TestTrash trash;
      Sync(dir, device, type, false, [&](SimPlatform& platform) {
        platform.CutAt({"*", n}, [&] {
          atCut = Snapshot(dir);
          deviceAtCut = device;
        });
      });
      // The run keeps one old copy of each file, the one it began with: a
      // second would be "NAME.2.txt".
      for (const std::string& name : trash.FileNames()) EXPECT_EQ(name.find(".2."), name.npos);
      if (Exists(trash.Trashed(kData))) {
        EXPECT_EQ(ReadFile(trash.Trashed(kData)), begin.at(kData));
      }
      Sync(dir, device, SyncType::kFast);
      EXPECT_EQ(Canonical(dir, device), want) << "the cut call failed";
      Restore(dir, atCut);
      Sync(dir, deviceAtCut, SyncType::kFast);
      EXPECT_EQ(Canonical(dir, deviceAtCut), want) << "killed at the cut";
      if (HasFailure()) return;
    }
    std::cout << "run type " << CodeOf(type) << ": " << calls << " cut points\n";
  }
}

#endif

// A run killed while the handheld numbers new lines leaves their numbers in
// the journal; the next run gives them back to the lines instead of sending
// the lines again. A journal cut off in the middle is set aside whole.
TEST(Link, AJournalLeftByAKilledRunIsApplied) {
  TempDir dir;
  HostConduit conduit;
  const std::string image = dir.File("handheld.json"),
                    data = dir.File("desk/" + std::string(kData));
  auto sync = [&](const std::string& type) {
    return RunHost({"sync", "--handheld", image, "--desktop", dir.File("desk"), "--type", type});
  };
  auto records = [&] { return Device::Load(image).FindDatabase(kLedgerDatabase)->RecordCount(); };
  std::mt19937 rng(5);
  std::string lines;
  for (int k = 0; k < 4; ++k) lines += Line(rng, "0") + "\r\n";
  lines += lines.substr(0, lines.find('\n') + 1);  // two identical lines get one number each
  std::filesystem::create_directories(dir.File("desk"));
  WriteFile(data, lines);
  lists_testing::MakeDevice(BuildPreferenceBlock(std::string(24, '\0'), {}, {}, {})).Save(image);

  for (const char* cut : {"WriteRecord", "WriteRecord:4"}) {
    ScopedEnv crash("SYNCBOLVARIN_CRASH_AT", cut);
    const HostResult run = sync("pc2hh");
    EXPECT_EQ(run.status, cut[11] ? 137 : 1) << run.err;  // the first is no OPERATION:N
  }
  EXPECT_EQ(ReadFile(data), lines);
  EXPECT_EQ(records(), 3u);
  const std::string journal = ReadFile(data + ".journal");
  auto numbers = [&] {  // the identifiers of the desktop lines, 0 included
    std::set<int32_t> ids;
    for (const std::string& line : lists_testing::LinesOf(ReadFile(data)))
      ids.insert(std::stoi(line));
    return ids;
  };
  const HostResult next = sync("fast");
  EXPECT_EQ(next.status, 0) << next.out << next.err;
  EXPECT_EQ(records(), 5u);
  EXPECT_FALSE(Exists(data + ".journal"));
  EXPECT_EQ(numbers().size(), 5u);
  EXPECT_EQ(numbers().count(0), 0u);

  // A journal left behind after the file took its numbers (its removal
  // failed) gives none of them to a new line that reads the same.
  const size_t sep = journal.find(';');
  WriteFile(data, ReadFile(data) + "0" + journal.substr(sep, journal.find('\r') - sep) + "\r\n");
  WriteFile(data + ".journal", journal);
  EXPECT_EQ(sync("fast").status, 0);
  EXPECT_EQ(numbers().size(), 6u);

  WriteFile(data, lines);
  WriteFile(data + ".journal", "1" + lines.substr(1, 20));
  const HostResult torn = sync("fast");
  EXPECT_EQ(torn.status, 2);
  EXPECT_NE(torn.out.find(".journal\", entry 1: the entry does not end with CR LF; no identifier "
                          "was taken from it and it is kept as"),
            std::string::npos)
      << torn.out;
  EXPECT_EQ(ReadFile(data + ".journal.unreadable"), "1" + lines.substr(1, 20));
  EXPECT_EQ(records(), 11u);  // sent again: the journal could not say they were there
}

// The host's --stats line counts the calls of its run, --link-latency
// slows them without changing them, and SYNCBOLVARIN_FAIL_AT fails one.
TEST(Link, SyncStatsCountTheRunsCalls) {
  TempDir dir;
  HostConduit conduit;
  // The demo keeps its settings in its folder.
  std::vector<std::string> args = {"demo", dir.path(), "--stats", "--link-latency", "1"};
  const HostResult first = RunHost(args), second = RunHost(args);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("syncbolvarin: platform calls: "), std::string::npos) << first.err;
  EXPECT_NE(first.err.find(", WriteRecord "), std::string::npos) << first.err;
  EXPECT_NE(second.err.find(", ReadNext "), std::string::npos) << second.err;
  EXPECT_EQ(second.err.find("WriteRecord"), std::string::npos) << second.err;
  // The failure hook reaches the host's platform: the run logs the failed call.
  ScopedEnv fail("SYNCBOLVARIN_FAIL_AT", "ReadNext:1");
  EXPECT_EQ(RunHost(args).status, 2);
}

}  // namespace
}  // namespace bolvarin
