// The run driver: dispatch by sync type, its log lines, the settings it
// reads and the pre-sync program.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "base/error.h"
#include "base/mod_public.h"
#include "conduit/cnotify.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "os/file_lock.h"
#include "os/files.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using handheld::Device;
using handheld::RunRequest;
using handheld::SimPlatform;
using lists_testing::ScopedSettings;
using namespace bolvarin::testing;

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
  // A run that moves records holds the desktop lock; these tests never wait
  // for it.
  RunDriverTest() : settings_(dir_.File("settings")), device_(FreshDevice()) {
    SetLockWaitForTesting(std::chrono::milliseconds(0));
  }
  ~RunDriverTest() override { SetLockWaitForTesting(std::chrono::milliseconds(-1)); }

  Log Run(int32_t syncType) { return RunOn(device_, {syncType, dir_.path() + "/"}); }
  // Sets "presync" or "postsync" (`name` "pre" or "post") to a program that
  // records its runs in NAME.ran and NAME.args.
  void Record(const std::string& name) {
    SetRegValue(kSettingsKey, name + "sync", RecordingProgram(dir_, name));
  }

  TempDir dir_;
  ScopedSettings settings_;
  Device device_;
  const std::string dataFile_ = dir_.File("MaBolvarin.txt");
};

// Each kind of run writes its log lines; all run the pre-sync program, and
// those that used the desktop file then run the post-sync program on it.
// Any database name opens the ledger, and only once; an empty list of
// databases opens nothing.
TEST_F(RunDriverTest, EachSyncTypeWritesItsLogLines) {
  Record("pre");
  Record("post");
  std::string ran;
  struct Case {
    int32_t type;
    std::string kind;   // what the run says it is configured to ("": nothing)
    bool movesRecords;  // its log opens with the version and ends with Ok
    std::vector<std::string> databases = {"MaBolvarin Data"};
  } cases[] = {
      // Types 0 to 3 also run in the engine scenarios, which check their
      // lines; 4 runs beside a held lock below.
      {5, "Backup", false},
      {6, "Do Nothing", false},
      {7, "Install", false},
      {8, "", false},
      {-1, "", false},
      {0, "", true, {}},
      {0, "Fast Sync", true, {"MaBolvarin Data", "Something else", "MaBolvarin Data"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("sync type " + std::to_string(c.type) + ", " + std::to_string(c.databases.size()));
    TempDir desktop;
    Device device = FreshDevice();
    Log expected;
    if (c.movesRecords) expected.push_back(kVersion);
    if (!c.kind.empty()) expected.push_back(Configured(c.kind));
    if (c.movesRecords) expected.push_back(kOk);
    EXPECT_EQ(RunOn(device,
                    {.syncType = c.type, .desktopPath = desktop.path(), .databases = c.databases}),
              expected);
    const bool writes = c.movesRecords && !c.databases.empty();
    EXPECT_EQ(writes, Exists(desktop.File("MaBolvarin.txt")));
    // Only the record-moving kinds open (and so create) the handheld database.
    const handheld::Database* created = device.FindDatabase("MaBolvarin Data");
    ASSERT_EQ(writes, created != nullptr);
    if (created) {
      EXPECT_EQ(std::tie(created->creator, created->type), std::tuple("Bolv", "Data"));
    }
    EXPECT_EQ(nullptr, device.FindDatabase("Something else"));
    EXPECT_EQ(Recorded(dir_, "pre", "ran"), ran += "ran\n");
    EXPECT_EQ(Recorded(dir_, "post", "args"),
              writes ? NativePath(desktop.path(), "MaBolvarin.txt") + "\n" : "");
    std::remove(dir_.File("post.args").c_str());
  }
}

TEST_F(RunDriverTest, PresyncGetsTheDataFilePathAsOneArgument) {
  // The setting is used as typed: blanks around the program name are kept
  // and do no harm, and the program's own arguments come first.
  SetRegValue(kSettingsKey, "presync", "  " + RecordingProgram(dir_, "pre") + " --first  ");
  for (const auto& [desktop, argument] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\Data\\", "C:\\Data\\MaBolvarin.txt"},
           {"C:\\Data", NativePath("C:\\Data", "MaBolvarin.txt")},
           {"/srv/my ledger", NativePath("/srv/my ledger", "MaBolvarin.txt")}}) {
    std::remove(dir_.File("pre.args").c_str());
    RunOn(device_, {6, desktop});  // touches no file, so any desktop path will do
    EXPECT_EQ("--first\n" + argument + "\n", Recorded(dir_, "pre", "args")) << desktop;
  }
  // A program that is not there does no harm.
  SetRegValue(kSettingsKey, "presync", dir_.File("no-such-program"));
  EXPECT_EQ(Run(5), Log{Configured("Backup")});
}

TEST_F(RunDriverTest, FailingSyncContextReachesTheCaller) {
  SimPlatform platform(device_, {0, dir_.path()});
  platform.FailOperation("GetSyncContext");
  EXPECT_THROW(CNotify(platform).BeginProcess(), ConduitError);
  EXPECT_TRUE(platform.log().empty());
}

TEST_F(RunDriverTest, UnopenableHandheldIsLoggedByTheRecordProcedure) {
  const std::string kWhy =
      " - The handheld database \"MaBolvarin Data\" could not be opened or created (opening it: "
      "simulated failure of OpenDatabase; creating it: simulated failure of CreateDatabase)";
  EXPECT_EQ(RunOn(device_, {0, dir_.path()}, {"OpenDatabase", "CreateDatabase"}),
            (Log{kVersion,
                 {"SyncBolvarin - SyncCategories" + kWhy, -1, -1, 0},
                 {"SyncBolvarin - FastSync" + kWhy, -1, -1, 0},
                 kOk}));
}

// A data file that could not be written at the end of the run is found
// before the handheld is touched: one error line names the file and the
// reason, and nothing of the database moves on either side. Which files
// cannot be replaced, and why, is the file services' tests' business; a
// folder, and a file whose old version the trash cannot take (the "definitif"
// setting is not set), stand for them here.
TEST_F(RunDriverTest, DataFileThatCannotBeWrittenLeavesTheDatabaseAlone) {
  for (bool folder : {true, false}) {
#ifdef _WIN32  // the trash's folder is POSIX's; Windows has its recycle bin
    if (!folder) break;
#endif
    SCOPED_TRACE(folder ? "a folder" : "trash");
    TempDir desktop;
    const std::string dataFile = NativePath(desktop.path(), "MaBolvarin.txt");
    if (folder) std::filesystem::create_directory(dataFile);
    if (!folder) WriteFile(dataFile, "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n");
    // The trash's folder cannot be made below a file.
    ScopedEnv dataHome("XDG_DATA_HOME", dataFile + "/trash-home");
    const auto type = std::filesystem::symlink_status(dataFile).type();
    Device device = FreshDevice();
    const Log log = RunOn(device, {0, desktop.path()});
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], kVersion);
    EXPECT_TRUE(log[1].text.starts_with("SyncBolvarin - OpenPcStore - Cannot write \"" + dataFile))
        << log[1].text;
    EXPECT_NE(log[1].text.find(folder ? "a folder" : "trash"), std::string::npos) << log[1].text;
    EXPECT_EQ(std::tuple(log[1].a, log[1].b, log[1].c), std::tuple(-1, -1, 0));
    EXPECT_EQ(log[2], kOk);
    EXPECT_EQ(device.FindDatabase("MaBolvarin Data"), nullptr);  // neither opened nor created
    EXPECT_EQ(std::filesystem::symlink_status(dataFile).type(), type);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(desktop.path()), {}), 1);
  }
}

// When the data file cannot be written at the end anyway, one error line
// names it and the reason, and the run's records are kept in a copy that
// the line names.
TEST_F(RunDriverTest, FailedFinalWriteIsLoggedAndTheRecordsKept) {
  const std::string old = "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n";
  WriteFile(dataFile_, old);
  FailNextReplaceAfterForTesting(10, dataFile_);  // the disk fills up at the release
  const Log log = Run(0);
  FailNextReplaceAfterForTesting(-1);
  // The run's lines, then the one error line, after Ok: the data file is
  // written when the engine is released.
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], kOk);
  const std::string prefix = "SyncBolvarin - SavePcStore - Cannot write \"" + dataFile_ +
                             "\": " + DiskFullText() + "; the records of this run are kept in \"";
  // The copy itself, and the old file kept whole, are the data file store's
  // own tests' business.
  EXPECT_TRUE(log[3].text.starts_with(prefix + dataFile_ + ".unsaved-")) << log[3].text;
  EXPECT_EQ(ReadFile(dataFile_), old);
}

// A procedure's line is an error only under the conduit's own name (the
// engine scenarios' exit statuses show which of its lines are errors).
TEST(LogLines, ErrorLinesAreTheProceduresOwn) {
  EXPECT_TRUE(IsErrorLogLine("SyncBolvarin - FastSync - Record 3: bad date"));
  EXPECT_FALSE(IsErrorLogLine("Other - FastSync - x"));
}

TEST_F(RunDriverTest, ARunThatCannotLockTheDataFileLogsItAndTouchesNothing) {
  const std::string lines = "7;5;0;02/02/2026 07:45:00;-34900;1;1;6;;;;;Train\r\n";
  WriteFile(dataFile_, lines);
  Record("pre");
  const std::string image = device_.ToJson();
  FileLock held(LockFileOf(dataFile_), "test holder", std::chrono::milliseconds(0));

  for (int32_t type : {0, 1, 2, 3}) {
    SCOPED_TRACE(type);
    const Log log = Run(type);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].text.starts_with("SyncBolvarin - SYNCHRONIZE - The lock file \"" +
                                        LockFileOf(dataFile_) +
                                        "\" is held by test holder (process "))
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

TEST_F(RunDriverTest, ARunRemovesItsOwnLeftoverTemporariesAndNothingElse) {
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

// Types 0, 1, 3 and -1 are checked through the Windows host's `info`.
TEST(ConduitInfo, AnswersFromItsTable) {
  Device device;
  SimPlatform platform(device, RunRequest{});
  EXPECT_EQ(TaggedValue::Int32(0), CNotify(platform).GetConduitInfo(2, 0, 0, ""));
  EXPECT_TRUE(CNotify(platform).GetConduitInfo(4, 0, 0, "").IsEmpty());
}

}  // namespace
}  // namespace bolvarin
