// The `syncbolvarin handheld` commands, run as a user would run them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "handheld/device.h"
#include "os/file_lock.h"
#include "tests/test_util.h"

namespace bolvarin::handheld {
namespace {

using namespace bolvarin::testing;

const std::string kSample = std::string(BOLVARIN_SOURCE_DIR) + "/samples/sample-handheld.json";

// The host run as a user runs it, with a settings file of the test's own (the
// tests' main gives the whole process a home of its own).
class HandheldCli : public ::testing::Test {
 protected:
  // Runs `syncbolvarin handheld COMMAND --image IMAGE ARGS...`, which is to
  // end with `status`; one that fails must say `says` and leave the image as
  // it was.
  HostResult Run(const std::string& command, std::vector<std::string> args = {}, int status = 0,
                 const std::string& says = "") {
    const std::string before = status != 0 ? ReadFile(image_) : "";
    args.insert(args.begin(), {"handheld", command, "--image", image_});
    HostResult r = RunHost(args);
    EXPECT_EQ(r.status, status) << command << ": " << r.err;
    EXPECT_PRED2(Contains, r.err, says);
    EXPECT_EQ(status != 0 ? ReadFile(image_) : "", before) << command;
    return r;
  }
  Record Get(int32_t id) { return *Device::Load(image_).FindDatabase("MaBolvarin Data")->Find(id); }

  TempDir dir_;
  std::string image_ = dir_.File("hh.json"), desktop_ = dir_.File("desktop");
  ScopedEnv settings_{"SYNCBOLVARIN_SETTINGS", dir_.File("settings")};
  ScopedEnv wait_{"SYNCBOLVARIN_LOCK_WAIT", "0.05"};
};

// create never overwrites unless forced; a refused command leaves the image
// as it was; import checks the image, export prints it; record editing marks
// the records as the handheld application does.
TEST_F(HandheldCli, CreateImportExportRefusalsAndRecordEditing) {
  WriteFile(image_, "precious");  // what `create` writes, the lock test's sync reads
  Run("create", {}, 1, "already exists");
  Run("create", {"--force"});
  Run("add", {"--hex", "ABC"}, 1, "--hex: odd number of hex digits");
  Run("change", {"--id", "999", "--hex", "00"}, 1, "no record 999");
  Run("set-attributes", {"--id", "1", "256"}, 1, "VALUE: \"256\"");
  Run("category", {"--index", "2", "--name", "Sixteen chars..."}, 1, "at most 15");

  std::string bad = dir_.File("bad.json");
  WriteFile(bad, ReadFile(image_).replace(ReadFile(image_).find("handheld/1"), 10, "handheld/9"));
  Run("import", {bad}, 1, bad + ": format: unknown image format version");
  WriteFile(image_, ReadFile(bad));
  Run("add", {"--hex", "00"}, 1, image_ + ": format: unknown image format version");

  Run("import", {kSample});
  EXPECT_EQ(Device::Load(image_).ToJson(), Device::Load(kSample).ToJson());
  // What export prints is the stored image, which the check above has just read back.
  EXPECT_EQ(Run("export").out, ReadFile(image_));

  // The sample syncs without an error line (every record converts). What the
  // programs started around a run print goes to standard error, never into
  // the log on standard output.
  std::filesystem::create_directories(desktop_);
  RunHost({"settings", "set", "presync", "echo noise-from-presync"});
  HostResult r = RunHost({"sync", "--desktop", desktop_, "--handheld", image_, "--type", "hh2pc"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(ReadFile(desktop_ + "/MaBolvarin.txt"), "");
  EXPECT_EQ(r.out.find("noise-from-presync"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("noise-from-presync"), std::string::npos) << r.err;

  // Records added to the image are marked as the handheld marks them.
  int32_t hex =
      std::stoi(Run("add", {"--hex", "C7990E1E FFFFFF9C BFF90000 41 00", "--category", "3"}).out);
  int32_t line =
      std::stoi(Run("add", {"--line", "0;5; 0;02/02/2026 07:45:00;-34900;1;1;6;;;;;Train"}).out);
  Record rec = Get(hex);
  EXPECT_EQ(std::tuple(rec.category, rec.attributes, ToHex(rec.data)),
            std::tuple(3, kAttrDirty, "C7990E1EFFFFFF9CBFF900004100"));
  rec = Get(line);
  EXPECT_EQ(std::tuple(rec.category, rec.data.back()), std::tuple(5, 0));  // 0 appended to the text

  Run("delete", {"--id", std::to_string(hex)});  // kept, marked, until a sync purges it
  Run("archive", {"--id", std::to_string(line)});
  EXPECT_EQ(std::pair(Get(hex).attributes, Get(line).attributes), std::pair(0xC0, 0x88));
  Run("change", {"--id", std::to_string(hex), "--hex", "0102"});
  rec = Get(hex);
  EXPECT_EQ(std::tuple(rec.category, rec.attributes, rec.data), std::tuple(3, 0x40, Bytes{1, 2}));
}

// 0: the log holds no error line; 2: the run finished but logged one; 1: the
// host itself failed, a command-line mistake included. --help and --version
// are no mistakes. A missing image is an error unless --create is given, and
// an image that cannot be written is found before the run: the desktop stays
// as it was.
TEST_F(HandheldCli, SyncExitStatusAndAMistypedImagePathLeavesTheDesktopUntouched) {
  const std::string kept = "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\r\n";
  std::filesystem::create_directories(desktop_);
  WriteFile(desktop_ + "/MaBolvarin.txt", kept);
  const std::string mistyped = dir_.File("no-such-dir/hh.json");
  // Runs with and without an error line in the log are the record scenarios'.
  const struct {
    std::vector<std::string> args;  // after "sync --desktop DESKTOP --type hh2pc"
    int status;
    std::string says;
  } cases[] = {
      {{"--handheld", image_, "--bogus"}, 1, "--bogus"},
      {{}, 1, "--handheld is required"},
      {{"--help"}, 0, ""},
      {{"--handheld", mistyped}, 1, "\"" + mistyped + "\" does not exist"},
      {{"--handheld", mistyped, "--create"},
       1,
       "cannot write \"" + mistyped + "\": the folder \"" + dir_.File("no-such-dir") + "\""},
      {{"--handheld", image_}, 1, "\"" + image_ + "\" does not exist"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"sync", "--desktop", desktop_, "--type", "hh2pc"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    HostResult r = RunHost(args);
    EXPECT_EQ(r.status, c.status) << c.says << ": " << r.out << r.err;
    EXPECT_PRED2(Contains, r.err, c.says);
    EXPECT_EQ(r.out.empty(), c.status == 1);  // no run started; --help prints
    EXPECT_EQ(ReadFile(desktop_ + "/MaBolvarin.txt"), kept);
  }
  EXPECT_EQ(RunHost({"no-such-command"}).status, 1);
  EXPECT_EQ(RunHost({"--version"}).status, 0);
  EXPECT_FALSE(Exists(dir_.File("no-such-dir")));
  EXPECT_FALSE(Exists(image_));
}

// Two commands at once on one image: the second waits for the image lock,
// then refuses and names its holder; once the lock is free it runs and
// clears what a killed command left beside the image. (The lock's own
// message, and which files are leftovers, are the lock's and the file
// services' tests' business.)
TEST_F(HandheldCli, ACommandWaitsForTheImageLockThenRefusesNamingItsHolder) {
  Run("create");
  const std::vector<std::vector<std::string>> commands = {
      {"handheld", "add", "--image", image_, "--line",
       "0;5; 0;02/02/2026 07:45:00;-34900;1;1;6;;;;;Train"},
      {"sync", "--handheld", image_, "--desktop", desktop_},
  };
  const std::string leftover = dir_.File(".hh.json.syncbolvarin-Zz9Yy8");
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    const std::string before = ReadFile(image_);
    {
      FileLock held(LockFileOf(image_), "test holder", std::chrono::milliseconds(0));
      EXPECT_PRED2(Contains, RunHost(command).err, "is held by test holder");
      EXPECT_EQ(ReadFile(image_), before);
      EXPECT_FALSE(Exists(desktop_ + "/MaBolvarin.txt"));
    }
    WriteFile(leftover, "partial");
    EXPECT_EQ(RunHost(command).status, 0);
    EXPECT_FALSE(Exists(leftover));
  }
}

}  // namespace
}  // namespace bolvarin::handheld
