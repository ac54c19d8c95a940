// The run driver: dispatch by sync type, its log lines, the settings it
// reads and the pre-sync program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using handheld::Device;
using handheld::LogEntry;
using handheld::RunRequest;
using handheld::SimPlatform;
using testing::Exists;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

// Settings kept in a file of the test's own folder.
class ScopedSettings {
 public:
  explicit ScopedSettings(const std::string& path) : settings_(path) {
    SetActiveSettings(&settings_);
  }
  ~ScopedSettings() { SetActiveSettings(nullptr); }

 private:
  FileSettings settings_;
};

// A device as the handheld application leaves it after its first start: its
// preference block holds the 24-byte header and three empty lists.
Device FreshDevice() {
  Device device;
  device.preferences.push_back({"Bolv", 0, 1, Bytes(28, 0)});
  return device;
}

struct RunOutcome {
  std::vector<LogEntry> log;
};

class RunDriverTest : public ::testing::Test {
 protected:
  RunDriverTest() : settings_(dir_.File("settings")), device_(FreshDevice()) {}

  RunOutcome Run(int32_t syncType, std::vector<std::string> databases = {"MaBolvarin Data"}) {
    RunRequest run;
    run.syncType = syncType;
    run.desktopPath = dir_.path() + "/";
    run.databases = std::move(databases);
    SimPlatform platform(device_, run);
    CNotify notify(platform);
    EXPECT_FALSE(notify.BeginProcess());
    return RunOutcome{platform.log()};
  }

  // A script that appends its arguments, one per line, to a file.
  std::string RecordingScript(const std::string& name) {
    std::string script = dir_.File(name + ".sh");
    WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"" +
                          dir_.File(name + ".args") + "\"; done\necho ran >> \"" +
                          dir_.File(name + ".ran") + "\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
  }

  TempDir dir_;
  ScopedSettings settings_;
  Device device_;
};

struct LogLine {
  std::string text;
  int32_t a, b, c;
};

std::vector<LogLine> Lines(const RunOutcome& outcome) {
  std::vector<LogLine> lines;
  for (const auto& e : outcome.log) lines.push_back({e.text, e.a, e.b, e.c});
  return lines;
}

void ExpectLog(const std::vector<LogLine>& expected, const RunOutcome& outcome) {
  auto actual = Lines(outcome);
  ASSERT_EQ(expected.size(), actual.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].text, actual[i].text) << "line " << i;
    EXPECT_EQ(expected[i].a, actual[i].a) << "line " << i;
    EXPECT_EQ(expected[i].b, actual[i].b) << "line " << i;
    EXPECT_EQ(expected[i].c, actual[i].c) << "line " << i;
  }
}

const LogLine kVersion{"SyncBolvarin 1.3.2", -1, 0, 0};
const LogLine kOk{"Ok SyncBolvarin\n", -1, 0, -1};

TEST_F(RunDriverTest, EachSyncTypeWritesItsLogLines) {
  struct Case {
    int32_t type;
    std::vector<LogLine> log;
    bool writesDataFile;
  };
  const std::vector<Case> cases = {
      {0, {kVersion, {"SyncBolvarin - Sync configured to Fast Sync", -1, -1, 0}, kOk}, true},
      {1, {kVersion, {"SyncBolvarin - Sync configured to Slow Sync", -1, -1, 0}, kOk}, true},
      {2, {kVersion, {"SyncBolvarin - Sync configured to Copy to PC", -1, -1, 0}, kOk}, true},
      {3, {kVersion, {"SyncBolvarin - Sync configured to Copy to kova", -1, -1, 0}, kOk}, true},
      {4, {{"SyncBolvarin - Sync configured to Install", -1, -1, 0}}, false},
      {5, {{"SyncBolvarin - Sync configured to Backup", -1, -1, 0}}, false},
      {6, {{"SyncBolvarin - Sync configured to Do Nothing", -1, -1, 0}}, false},
      {7, {{"SyncBolvarin - Sync configured to Install", -1, -1, 0}}, false},
      {8, {}, false},
      {-1, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("sync type " + std::to_string(c.type));
    TempDir desktop;
    RunRequest run;
    run.syncType = c.type;
    run.desktopPath = desktop.path();
    // Empty list files, so that a copy to the handheld finds its three lists.
    for (const char* list : {"mode.txt", "type.txt", "desc.txt"}) WriteFile(desktop.File(list), "");
    Device device = FreshDevice();
    SimPlatform platform(device, run);
    CNotify notify(platform);
    EXPECT_FALSE(notify.BeginProcess());
    ExpectLog(c.log, RunOutcome{platform.log()});
    EXPECT_EQ(c.writesDataFile, Exists(desktop.File("MaBolvarin.txt")));
    // Only the record-moving kinds open (and so create) the handheld database.
    EXPECT_EQ(c.writesDataFile, device.FindDatabase("MaBolvarin Data") != nullptr);
  }
}

TEST_F(RunDriverTest, EmptyDatabaseListWritesVersionAndOkOnly) {
  auto outcome = Run(0, {});
  ExpectLog({kVersion, kOk}, outcome);
  EXPECT_FALSE(Exists(dir_.File("MaBolvarin.txt")));
}

TEST_F(RunDriverTest, AnyDatabaseNameOpensTheLedgerOnce) {
  WriteFile(dir_.File("MaBolvarin.txt"), "");
  auto outcome = Run(0, {"MaBolvarin Data", "Something else", "MaBolvarin Data"});
  ExpectLog({kVersion, {"SyncBolvarin - Sync configured to Fast Sync", -1, -1, 0}, kOk}, outcome);
  EXPECT_NE(nullptr, device_.FindDatabase("MaBolvarin Data"));
  EXPECT_EQ(nullptr, device_.FindDatabase("Something else"));
}

TEST_F(RunDriverTest, DefinitifIsReadInAnyCase) {
  struct Case {
    std::string stored;
    bool expected;
  };
  for (const Case& c : std::vector<Case>{{"OUI", true},
                                         {"oui", true},
                                         {"Oui", true},
                                         {"NON", false},
                                         {"YES", false},
                                         {"1", false},
                                         {"", false}}) {
    SCOPED_TRACE("definitif = \"" + c.stored + "\"");
    SetRegValue(kSettingsKey, "definitif", c.stored);
    DeleteDefinitively = !c.expected;
    Run(6);
    EXPECT_EQ(c.expected, DeleteDefinitively);
  }
}

TEST_F(RunDriverTest, PresyncGetsTheDataFilePathAsOneArgument) {
  struct Case {
    std::string desktopPath;
    std::string expectedArgument;
  };
  const std::vector<Case> cases = {
      {"C:\\Data\\", "C:\\Data\\MaBolvarin.txt"},
      {"C:\\Data", "C:\\Data/MaBolvarin.txt"},
      {"/srv/my ledger/", "/srv/my ledger/MaBolvarin.txt"},
      {"/srv/my ledger", "/srv/my ledger/MaBolvarin.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desktopPath);
    std::string script = RecordingScript("pre");
    std::remove(dir_.File("pre.args").c_str());
    // The setting is used as typed: blanks around the program name are kept
    // and do no harm, and the program's own arguments come first.
    SetRegValue(kSettingsKey, "presync", "  " + script + " --first  ");
    RunRequest run;
    run.syncType = 6;  // touches no file, so any desktop path will do
    run.desktopPath = c.desktopPath;
    SimPlatform platform(device_, run);
    CNotify(platform).BeginProcess();
    EXPECT_EQ("--first\n" + c.expectedArgument + "\n", ReadFile(dir_.File("pre.args")));
  }
}

TEST_F(RunDriverTest, PresyncRunsForEveryTypeAndAMissingOneIsHarmless) {
  SetRegValue(kSettingsKey, "presync", RecordingScript("pre"));
  for (int32_t type : {0, 1, 2, 3, 4, 5, 6, 7, 8, -1}) Run(type);
  EXPECT_EQ(10 * std::string("ran\n").size(), ReadFile(dir_.File("pre.ran")).size());

  SetRegValue(kSettingsKey, "presync", dir_.File("no-such-program"));
  ExpectLog({{"SyncBolvarin - Sync configured to Backup", -1, -1, 0}}, Run(5));
}

TEST_F(RunDriverTest, PostsyncRunsOnlyWhenADesktopStoreWasUsed) {
  std::string script = RecordingScript("post");
  SetRegValue(kSettingsKey, "postsync", script);
  for (int32_t type : {4, 5, 6, 7, 8, -1}) Run(type);
  Run(0, {});
  EXPECT_FALSE(Exists(dir_.File("post.ran")));
  Run(1);
  EXPECT_EQ(dir_.path() + "/MaBolvarin.txt\n", ReadFile(dir_.File("post.args")));
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
  RunRequest run;
  run.desktopPath = dir_.path();
  SimPlatform platform(device_, run);
  platform.FailOperation("OpenDatabase");
  platform.FailOperation("CreateDatabase");
  CNotify(platform).BeginProcess();
  const auto& log = platform.log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("SyncBolvarin 1.3.2", log.front().text);
  EXPECT_EQ("Ok SyncBolvarin\n", log.back().text);
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const LogEntry& e) {
    return e.text.rfind("SyncBolvarin - FastSync - ", 0) == 0;
  }));
}

// A data file that could not be written at the end of the run is found
// before the handheld is touched: one error line names the file and the
// reason, and nothing of the database moves on either side.
TEST_F(RunDriverTest, DataFileThatCannotBeWrittenLeavesTheDatabaseAlone) {
  alarm(60);  // a FIFO opened the blocking way would hang the run: fail instead
  struct Case {
    std::string what;
    std::function<void(const std::string&)> make;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"FIFO", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, "FIFO"},
      {"device link", [](const std::string& p) { std::filesystem::create_symlink("/dev/null", p); },
       "symbolic link to \"/dev/null\", a character device"},
      {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "a folder"},
      {"unusable trash",
       [](const std::string& p) { WriteFile(p, "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n"); },
       "trash"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir desktop;
    const std::string dataFile = desktop.File("MaBolvarin.txt");
    c.make(dataFile);
    // The trash's folder cannot be made below a file.
    ScopedEnv dataHome("XDG_DATA_HOME", dataFile + "/trash-home");
    const auto type = std::filesystem::symlink_status(dataFile).type();
    RunRequest run;
    run.desktopPath = desktop.path();
    Device device = FreshDevice();
    SimPlatform platform(device, run);
    CNotify(platform).BeginProcess();
    const auto log = Lines(RunOutcome{platform.log()});
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].text, kVersion.text);
    EXPECT_EQ(
        log[1].text.rfind("SyncBolvarin - OpenPcStore - Cannot write \"" + dataFile + "\": ", 0),
        0u)
        << log[1].text;
    EXPECT_NE(log[1].text.find(c.reason), std::string::npos) << log[1].text;
    EXPECT_EQ(std::tuple(log[1].a, log[1].b, log[1].c), std::tuple(-1, -1, 0));
    EXPECT_EQ(log[2].text, kOk.text);
    EXPECT_EQ(device.FindDatabase("MaBolvarin Data"), nullptr);  // neither opened nor created
    EXPECT_EQ(std::filesystem::symlink_status(dataFile).type(), type);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(desktop.path()), {}), 1);
  }
  alarm(0);
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
  const RunOutcome outcome = Run(0);
  FailNextReplaceAfterForTesting(-1);
  std::vector<std::string> errors;
  for (const LogEntry& e : outcome.log) {
    if (IsErrorLogLine(e.text)) errors.push_back(e.text);
  }
  ASSERT_EQ(errors.size(), 1u);
  const std::string prefix = "SyncBolvarin - SavePcStore - Cannot write \"" + dataFile +
                             "\": No space left on device; the records of this run are kept in \"";
  ASSERT_EQ(errors[0].rfind(prefix, 0), 0u) << errors[0];
  const std::string copy =
      errors[0].substr(prefix.size(), errors[0].find('"', prefix.size()) - prefix.size());
  EXPECT_EQ(copy.rfind(dataFile + ".unsaved-", 0), 0u) << copy;
  EXPECT_EQ(ReadFile(copy), old);
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

// A run that moves records holds the desktop lock; the tests below keep
// their home, trash and settings in their own folder and never wait for it.
class DesktopLockTest : public RunDriverTest {
 protected:
  DesktopLockTest() { SetLockWaitForTesting(std::chrono::milliseconds(0)); }
  ~DesktopLockTest() override { SetLockWaitForTesting(std::chrono::milliseconds(-1)); }
  testing::ScopedEnv home_{"HOME", dir_.path()}, data_{"XDG_DATA_HOME", dir_.File("data")},
      config_{"XDG_CONFIG_HOME", dir_.File("config")};
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
    auto log = Lines(Run(type));
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
  ExpectLog({{"SyncBolvarin - Sync configured to Install", -1, -1, 0}}, Run(4));
}

TEST_F(DesktopLockTest, ARunRemovesItsOwnLeftoverTemporariesAndNothingElse) {
  const std::vector<std::string> leftovers = {
      ".MaBolvarin.txt.syncbolvarin-a1B2c3", ".categories.txt.syncbolvarin-ZZZZZZ",
      ".MODE.txt.syncbolvarin-000000",       ".Type.txt.syncbolvarin-AbCdEf",
      ".desc.txt.syncbolvarin-q9q9q9",
  };
  const std::vector<std::string> lookAlikes = {
      ".MaBolvarin.txt.syncbolvarin-a1B2c",  ".MaBolvarin.txt.syncbolvarin-a1B2c34",
      ".MaBolvarin.txt.syncbolvarin-a1-2c3", ".MaBolvarin.txt.a1B2c3",
      "MaBolvarin.txt.syncbolvarin-a1B2c3",  ".mabolvarin.txt.syncbolvarin-a1B2c3",
      ".notes.txt.syncbolvarin-a1B2c3",      ".MaBolvarin.txt.syncbolvarin-a1B2c3.txt",
  };
  for (const auto& name : leftovers) WriteFile(dir_.File(name), "partial");
  for (const auto& name : lookAlikes) WriteFile(dir_.File(name), "someone else's");
  const std::string folderLike = dir_.File(".mode.txt.syncbolvarin-fold3r");
  const std::string linkLike = dir_.File(".desc.txt.syncbolvarin-l1nk00");
  std::filesystem::create_directory(folderLike);
  std::filesystem::create_symlink(dataFile_, linkLike);

  Run(1);  // moves no record, but works on the desktop files
  for (const auto& name : leftovers) EXPECT_FALSE(Exists(dir_.File(name))) << name;
  for (const auto& name : lookAlikes) EXPECT_TRUE(Exists(dir_.File(name))) << name;
  EXPECT_TRUE(std::filesystem::is_directory(folderLike));
  EXPECT_TRUE(std::filesystem::is_symlink(linkLike));
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
