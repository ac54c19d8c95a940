// The run driver: dispatch by sync type, its log lines, the settings it
// reads and the pre-sync program.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <tuple>

#include "base/error.h"
#include "base/mod_public.h"
#include "conduit/cnotify.h"
#include "conduit/conduit_info.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "os/file_lock.h"
#include "os/files.h"
#include "tests/env_guard.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using handheld::Device;
using handheld::RunRequest;
using handheld::SimPlatform;
using lists_testing::ScopedSettings;
using testing::Exists;
using testing::NativePath;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

// A device as the handheld application leaves it after its first start: its
// preference block holds the 24-byte header and three empty lists.
Device FreshDevice() {
  Device device;
  device.preferences.push_back({"Bolv", 0, 1, Bytes(28, 0)});
  return device;
}

struct LogLine {
  std::string text;
  int32_t a, b, c;
  bool operator==(const LogLine&) const = default;
};
void PrintTo(const LogLine& l, std::ostream* os) {
  *os << "{\"" << l.text << "\", " << l.a << ", " << l.b << ", " << l.c << "}";
}
using Log = std::vector<LogLine>;

// One run as the sync manager starts it, with the platform `failing` these
// operations; its log lines.
Log RunOn(Device& device, const RunRequest& run, std::vector<std::string> failing = {}) {
  SimPlatform platform(device, run);
  for (const auto& operation : failing) platform.FailOperation(operation);
  EXPECT_FALSE(CNotify(platform).BeginProcess());
  Log lines;
  for (const auto& e : platform.log()) lines.push_back({e.text, e.a, e.b, e.c});
  return lines;
}

const LogLine kVersion{"SyncBolvarin 1.3.2", -1, 0, 0};
const LogLine kOk{"Ok SyncBolvarin\n", -1, 0, -1};
LogLine Configured(const std::string& kind) {
  return {"SyncBolvarin - Sync configured to " + kind, -1, -1, 0};
}

class RunDriverTest : public ::testing::Test {
 protected:
  RunDriverTest() : settings_(dir_.File("settings")), device_(FreshDevice()) {}

  Log Run(int32_t syncType, std::vector<std::string> databases = {"MaBolvarin Data"}) {
    return RunOn(device_, {.syncType = syncType,
                           .desktopPath = dir_.path() + "/",
                           .databases = std::move(databases)});
  }

  // A program that appends its arguments, one per line, to NAME.args.
  std::string RecordingScript(const std::string& name) {
    return testing::RecordingProgram(dir_, name);
  }
  std::string Recorded(const std::string& name, const std::string& what) {
    return testing::Recorded(dir_, name, what);
  }

  TempDir dir_;
  ScopedSettings settings_;
  Device device_;
};

// Each kind of run writes its log lines; all run the pre-sync program, and
// those that used the desktop file then run the post-sync program on it.
TEST_F(RunDriverTest, EachSyncTypeWritesItsLogLines) {
  SetRegValue(kSettingsKey, "presync", RecordingScript("pre"));
  SetRegValue(kSettingsKey, "postsync", RecordingScript("post"));
  std::string ran;
  struct Case {
    int32_t type;
    Log log;
    bool writesDataFile;
  };
  const std::vector<Case> cases = {
      {0, {kVersion, Configured("Fast Sync"), kOk}, true},
      {1, {kVersion, Configured("Slow Sync"), kOk}, true},
      {2, {kVersion, Configured("Copy to PC"), kOk}, true},
      {3, {kVersion, Configured("Copy to kova"), kOk}, true},
      {4, {Configured("Install")}, false},
      {5, {Configured("Backup")}, false},
      {6, {Configured("Do Nothing")}, false},
      {7, {Configured("Install")}, false},
      {8, {}, false},
      {-1, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("sync type " + std::to_string(c.type));
    TempDir desktop;
    // Empty list files, so that a copy to the handheld finds its three lists.
    for (const char* list : {"mode.txt", "type.txt", "desc.txt"}) WriteFile(desktop.File(list), "");
    Device device = FreshDevice();
    EXPECT_EQ(RunOn(device, {c.type, desktop.path()}), c.log);
    EXPECT_EQ(c.writesDataFile, Exists(desktop.File("MaBolvarin.txt")));
    // Only the record-moving kinds open (and so create) the handheld database.
    EXPECT_EQ(c.writesDataFile, device.FindDatabase("MaBolvarin Data") != nullptr);
    EXPECT_EQ(Recorded("pre", "ran"), ran += "ran\n");
    EXPECT_EQ(Recorded("post", "args"),
              c.writesDataFile ? NativePath(desktop.path(), "MaBolvarin.txt") + "\n" : "");
    std::remove(dir_.File("post.args").c_str());
  }
}

TEST_F(RunDriverTest, EmptyDatabaseListWritesVersionAndOkOnly) {
  SetRegValue(kSettingsKey, "postsync", RecordingScript("post"));
  EXPECT_EQ(Run(0, {}), (Log{kVersion, kOk}));
  EXPECT_FALSE(Exists(dir_.File("MaBolvarin.txt")));
  EXPECT_FALSE(Exists(dir_.File("post.ran")));
}

TEST_F(RunDriverTest, AnyDatabaseNameOpensTheLedgerOnce) {
  WriteFile(dir_.File("MaBolvarin.txt"), "");
  EXPECT_EQ(Run(0, {"MaBolvarin Data", "Something else", "MaBolvarin Data"}),
            (Log{kVersion, Configured("Fast Sync"), kOk}));
  EXPECT_NE(nullptr, device_.FindDatabase("MaBolvarin Data"));
  EXPECT_EQ(nullptr, device_.FindDatabase("Something else"));
}

TEST_F(RunDriverTest, DefinitifIsReadInAnyCase) {
  const std::pair<const char*, bool> cases[] = {{"OUI", true},  {"oui", true},  {"Oui", true},
                                                {"NON", false}, {"YES", false}, {"1", false},
                                                {"", false}};
  for (const auto& [stored, expected] : cases) {
    SetRegValue(kSettingsKey, "definitif", stored);
    DeleteDefinitively = !expected;
    Run(6);
    EXPECT_EQ(expected, DeleteDefinitively) << stored;
  }
}

TEST_F(RunDriverTest, PresyncGetsTheDataFilePathAsOneArgument) {
  struct Case {
    std::string desktopPath;
    std::string expectedArgument;
  };
  const std::vector<Case> cases = {
      {"C:\\Data\\", "C:\\Data\\MaBolvarin.txt"},
      {"C:\\Data", NativePath("C:\\Data", "MaBolvarin.txt")},
      {"/srv/my ledger/", "/srv/my ledger/MaBolvarin.txt"},
      {"/srv/my ledger", NativePath("/srv/my ledger", "MaBolvarin.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desktopPath);
    std::string script = RecordingScript("pre");
    std::remove(dir_.File("pre.args").c_str());
    // The setting is used as typed: blanks around the program name are kept
    // and do no harm, and the program's own arguments come first.
    SetRegValue(kSettingsKey, "presync", "  " + script + " --first  ");
    RunOn(device_, {6, c.desktopPath});  // touches no file, so any desktop path will do
    EXPECT_EQ("--first\n" + c.expectedArgument + "\n", Recorded("pre", "args"));
  }
  // A program that is not there does no harm.
  SetRegValue(kSettingsKey, "presync", dir_.File("no-such-program"));
  EXPECT_EQ(Run(5), Log{Configured("Backup")});
}

TEST_F(RunDriverTest, FailingSyncContextReachesTheCaller) {
  RunRequest run;
  run.desktopPath = dir_.path();
  SimPlatform platform(device_, run);
  platform.FailOperation("GetSyncContext");
  CNotify notify(platform);
  EXPECT_THROW(notify.BeginProcess(), ConduitError);
  EXPECT_TRUE(platform.log().empty());
}

TEST_F(RunDriverTest, UnopenableHandheldIsLoggedByTheRecordProcedure) {
  const Log log = RunOn(device_, {0, dir_.path()}, {"OpenDatabase", "CreateDatabase"});
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(kVersion, log.front());
  EXPECT_EQ(kOk, log.back());
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const LogLine& e) {
    return e.text ==
           "SyncBolvarin - FastSync - The handheld database \"MaBolvarin Data\" could not be "
           "opened or created (opening it: simulated failure of OpenDatabase; creating it: "
           "simulated failure of CreateDatabase)";
  })) << log.size();
}

// A data file that could not be written at the end of the run is found
// before the handheld is touched: one error line names the file and the
// reason, and nothing of the database moves on either side.
TEST_F(RunDriverTest, DataFileThatCannotBeWrittenLeavesTheDatabaseAlone) {
#ifndef _WIN32
  alarm(60);  // a FIFO opened the blocking way would hang the run: fail instead
#endif
  struct Case {
    std::string what;
    std::function<void(const std::string&)> make;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "a folder"},
#ifndef _WIN32  // FIFOs and the trash's folder are POSIX's; Windows has its recycle bin
      {"FIFO", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, "FIFO"},
      {"unusable trash",
       [](const std::string& p) { WriteFile(p, "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n"); },
       "trash"},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const std::string dataFile = NativePath(desktop.path(), "MaBolvarin.txt");
    c.make(dataFile);
    // The trash's folder cannot be made below a file.
    ScopedEnv dataHome("XDG_DATA_HOME", dataFile + "/trash-home");
    const auto type = std::filesystem::symlink_status(dataFile).type();
    Device device = FreshDevice();
    const Log log = RunOn(device, {0, desktop.path()});
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], kVersion);
    EXPECT_EQ(
        log[1].text.rfind("SyncBolvarin - OpenPcStore - Cannot write \"" + dataFile + "\": ", 0),
        0u)
        << log[1].text;
    EXPECT_NE(log[1].text.find(c.reason), std::string::npos) << log[1].text;
    EXPECT_EQ(std::tuple(log[1].a, log[1].b, log[1].c), std::tuple(-1, -1, 0));
    EXPECT_EQ(log[2], kOk);
    EXPECT_EQ(device.FindDatabase("MaBolvarin Data"), nullptr);  // neither opened nor created
    EXPECT_EQ(std::filesystem::symlink_status(dataFile).type(), type);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(desktop.path()), {}), 1);
  }
#ifndef _WIN32
  alarm(0);
#endif
}

// When the data file cannot be written at the end anyway, one error line
// names it and the reason, and the run's records are kept in a copy that
// the line names.
TEST_F(RunDriverTest, FailedFinalWriteIsLoggedAndTheRecordsKept) {
  ScopedEnv dataHome("XDG_DATA_HOME", dir_.File("data"));
  const std::string dataFile = dir_.File("MaBolvarin.txt");
  const std::string old = "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n";
  WriteFile(dataFile, old);
  FailNextReplaceAfterForTesting(10, dataFile);  // the disk fills up at the release
  const Log log = Run(0);
  FailNextReplaceAfterForTesting(-1);
  std::vector<std::string> errors;
  for (const LogLine& e : log) {
    if (IsErrorLogLine(e.text)) errors.push_back(e.text);
  }
  ASSERT_EQ(errors.size(), 1u);
  const std::string prefix = "SyncBolvarin - SavePcStore - Cannot write \"" + dataFile +
                             "\": " + testing::DiskFullText() +
                             "; the records of this run are kept in \"";
  // The copy itself, and the old file kept whole, are the data file store's
  // own tests' business.
  EXPECT_EQ(errors[0].rfind(prefix + dataFile + ".unsaved-", 0), 0u) << errors[0];
  EXPECT_EQ(ReadFile(dataFile), old);
}

// Which log lines a host counts as errors.
TEST(LogLines, ErrorLinesAreTheProceduresOwn) {
  for (const auto& [text, error] : std::vector<std::pair<std::string, bool>>{
           {"SyncBolvarin - FastSync - Record 3: bad date", true},
           {"SyncBolvarin - Copy to kova - x", true},
           {"SyncBolvarin - Sync configured to Fast Sync", false},
           {"SyncBolvarin 1.3.2", false},
           {"Ok SyncBolvarin\n", false},
           {"Other - FastSync - x", false}}) {
    EXPECT_EQ(IsErrorLogLine(text), error) << text;
  }
}

// A run that moves records holds the desktop lock; the tests below never
// wait for it.
class DesktopLockTest : public RunDriverTest {
 protected:
  DesktopLockTest() { SetLockWaitForTesting(std::chrono::milliseconds(0)); }
  ~DesktopLockTest() override { SetLockWaitForTesting(std::chrono::milliseconds(-1)); }
  const std::string dataFile_ = dir_.File("MaBolvarin.txt");
};

TEST_F(DesktopLockTest, ARunThatCannotLockTheDataFileLogsItAndTouchesNothing) {
  const std::string lines = "7;5;0;02/02/2026 07:45:00;-34900;1;1;6;;;;;Train\r\n";
  WriteFile(dataFile_, lines);
  SetRegValue(kSettingsKey, "presync", RecordingScript("pre"));
  const std::string image = device_.ToJson();
  FileLock held(LockFileOf(dataFile_), "test holder", std::chrono::milliseconds(0));

  for (int32_t type : {0, 1, 2, 3}) {
    SCOPED_TRACE(type);
    const Log log = Run(type);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text.rfind("SyncBolvarin - SYNCHRONIZE - The lock file \"" +
                                    LockFileOf(dataFile_) + "\" is held by test holder (process ",
                                0),
              0u)
        << log[0].text;
    EXPECT_EQ(std::tuple(log[0].a, log[0].b, log[0].c), std::tuple(-1, -1, 0));
  }
  EXPECT_FALSE(Exists(dir_.File("pre.ran")));
  EXPECT_EQ(ReadFile(dataFile_), lines);
  EXPECT_FALSE(Exists(dir_.File("categories.txt")));
  EXPECT_EQ(device_.ToJson(), image);
  // Kinds of run that move no record need no lock.
  EXPECT_EQ(Run(4), Log{Configured("Install")});
}

TEST_F(DesktopLockTest, ARunRemovesItsOwnLeftoverTemporariesAndNothingElse) {
  const std::vector<std::string> leftovers = {
      ".MaBolvarin.txt.syncbolvarin-a1B2c3", ".categories.txt.syncbolvarin-ZZZZZZ",
      ".MODE.txt.syncbolvarin-000000",       ".Type.txt.syncbolvarin-AbCdEf",
      ".desc.txt.syncbolvarin-q9q9q9",
  };
  const std::vector<std::string> lookAlikes = {
      ".MaBolvarin.txt.syncbolvarin-a1B2c",      ".MaBolvarin.txt.syncbolvarin-a1B2c34",
      ".MaBolvarin.txt.syncbolvarin-a1-2c3",     ".MaBolvarin.txt.a1B2c3",
      "MaBolvarin.txt.syncbolvarin-a1B2c3",      ".notes.txt.syncbolvarin-a1B2c3",
      ".MaBolvarin.txt.syncbolvarin-a1B2c3.txt",
#ifndef _WIN32  // only a file system that tells case holds it beside the leftover
      ".mabolvarin.txt.syncbolvarin-a1B2c3",
#endif
  };
  for (const auto& name : leftovers) WriteFile(dir_.File(name), "partial");
  for (const auto& name : lookAlikes) WriteFile(dir_.File(name), "someone else's");
  const std::string folderLike = dir_.File(".mode.txt.syncbolvarin-fold3r");
  const std::string linkLike = dir_.File(".desc.txt.syncbolvarin-l1nk00");
  std::filesystem::create_directory(folderLike);
#ifndef _WIN32  // links need privileges on Windows
  std::filesystem::create_symlink(dataFile_, linkLike);
#endif

  Run(1);  // moves no record, but works on the desktop files
  for (const auto& name : leftovers) EXPECT_FALSE(Exists(dir_.File(name))) << name;
  for (const auto& name : lookAlikes) EXPECT_TRUE(Exists(dir_.File(name))) << name;
  EXPECT_TRUE(std::filesystem::is_directory(folderLike));
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_symlink(linkLike));
#endif
  EXPECT_FALSE(Exists(LockFileOf(dataFile_))) << "released with the engine";
}

TEST(ConduitInfo, AnswersFromItsTable) {
  Device device;
  SimPlatform platform(device, RunRequest{});
  CNotify notify(platform);
  EXPECT_EQ(TaggedValue::Text("SyncBolvarin"), notify.GetConduitInfo(0, 0, 0, ""));
  EXPECT_EQ(TaggedValue::Int32(268435456), notify.GetConduitInfo(1, 7, 9, "user"));
  EXPECT_EQ(TaggedValue::Int32(0), notify.GetConduitInfo(2, 0, 0, ""));
  EXPECT_EQ(TaggedValue::Double(1.0), notify.GetConduitInfo(3, 0, 0, ""));
  for (int32_t other : {4, 7, -1}) EXPECT_TRUE(notify.GetConduitInfo(other, 0, 0, "").IsEmpty());
}

}  // namespace
}  // namespace bolvarin
