#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "config/settings_file.h"
#include "os/files.h"
#include "tests/lists_test_support.h"
#ifndef _WIN32
#include <sys/stat.h>

#include "config/settings_file_posix.h"
#endif

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;

// Each test works on its own settings file, installed as the active store.
class Settings : public ::testing::Test {
 protected:
  std::string Get(const std::string& name) { return GetRegValue(kSettingsKey, name); }
  bool Set(const std::string& name, const std::string& text) {
    return SetRegValue(kSettingsKey, name, text);
  }

  TempDir dir_;
  std::string path_ = dir_.File("config/settings");
  lists_testing::ScopedSettings settings_{path_};
};

TEST_F(Settings, TextIsStoredAsGivenUnderANameOfAnyCaseAndBlankDeletes) {
  // Spaces around a text are kept, only spaces count as blank, and the
  // characters that the file format escapes come back unchanged.
  for (const std::string text : {"  notepad  ", "\t", "a\\b\tc\r\nd", "", " ", "    "}) {
    Set("presync", "previous value");
    EXPECT_TRUE(Set("presync", text));
    const bool blank = text.find_first_not_of(' ') == std::string::npos;
    EXPECT_EQ(Get("presync"), blank ? "" : text) << "[" << text << "]";
    EXPECT_EQ(settings_.file.Query(kSettingsKey, "presync").has_value(), !blank)
        << "a blank text must delete the value, not store it: [" << text << "]";
  }
  // Names and keys match without regard to case.
  Set("definitif", "OUI");
  EXPECT_EQ(GetRegValue("software\\syncmabolvarin", "DEFINITIF"), "OUI");
  Set("DEFINITIF", "NON");  // one value, not two
  EXPECT_EQ(ReadFile(path_).find("OUI"), std::string::npos);
  SetRegValue("SoftWare\\Other", "definitif", "OUI");  // another key is another place
  EXPECT_EQ(Get("definitif"), "NON");
  Set("Definitif", "");
  EXPECT_EQ(Get("definitif"), "");
}

TEST_F(Settings, DamagedLinesAreKeptAndAFailedWriteChangesNothing) {
  fs::create_directories(dir_.File("config"));
  const std::string bad = "junk \\q\n\t\tno key\nSoftWare\\\\SyncMabolvarin\tpostsync\tend\\\n";
  WriteFile(path_, bad + "SoftWare\\\\SyncMabolvarin\tpresync\tbackup.sh\r\n");
  EXPECT_EQ(Get("presync"), "backup.sh");  // a CR LF line end is not part of the value
  EXPECT_EQ(Get("postsync"), "");
  Set("langue", "100");
  EXPECT_EQ(Get("presync"), "backup.sh");
  EXPECT_EQ(ReadFile(path_).find(bad), 0u);
  // A write that fails never raises, but tells, and leaves the file as it was.
  // (How much was written before the failure is the file services' tests'
  // business.) No temporary file is left behind.
  const std::string before = ReadFile(path_);
  FailNextReplaceAfterForTesting(10);
  EXPECT_FALSE(Set("postsync", "viewer"));
  EXPECT_EQ(ReadFile(path_), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.File("config")), {}), 1);
}

#ifndef _WIN32  // links, FIFOs and file modes are POSIX's
// A file that cannot be read reads as empty and is never rewritten: one
// this user may not read (root gives up its right to read every file in the
// child that tries), a link to itself, which exists but cannot be read, and
// a FIFO, no file to read, which must not hang.
TEST_F(Settings, UnreadableFileReadsEmptyAndIsNeverOverwritten) {
  Set("presync", "backup.sh");
  const std::string saved = ReadFile(path_);
  for (const auto& make : {+[](const std::string& p) { fs::permissions(p, fs::perms::none); },
                           +[](const std::string& p) { fs::create_symlink("settings", p); },
                           +[](const std::string& p) { mkfifo(p.c_str(), 0600); }}) {
    make(path_);
    const auto type = fs::symlink_status(path_).type();
    const std::optional<bool> refused = CheckWithoutPrivileges(
        [&] { return !Set("postsync", "viewer") && Get("presync").empty(); });
    if (!refused) GTEST_SKIP() << "this process cannot give up its right to read every file";
    EXPECT_TRUE(*refused) << "an unreadable settings file was read or rewritten";
    EXPECT_EQ(fs::symlink_status(path_).type(), type);
    if (type == fs::file_type::regular) {
      fs::permissions(path_, fs::perms::owner_read);
      EXPECT_EQ(ReadFile(path_), saved);
    }
    fs::remove(path_);
  }
}

// The default file and the host's --settings are the Linux build's; the
// Windows build keeps its settings in the registry (tests/win/os_services_test.cc,
// tests/win/host_test.cc).
TEST(SettingsDefault, PathFollowsTheEnvironment) {
  ScopedEnv home("HOME", "/home/u");
  auto path = [](std::optional<std::string> explicitPath, std::optional<std::string> configHome) {
    ScopedEnv a("SYNCBOLVARIN_SETTINGS", explicitPath), b("XDG_CONFIG_HOME", configHome);
    return DefaultSettingsPath();
  };
  EXPECT_EQ(path("/x/my-settings", "/cfg"), "/x/my-settings");
  EXPECT_EQ(path("", "/cfg"), "/cfg/syncbolvarin/settings");
  EXPECT_EQ(path(std::nullopt, std::nullopt), "/home/u/.config/syncbolvarin/settings");
  // XDG variables must be absolute paths.
  EXPECT_EQ(path(std::nullopt, "relative/cfg"), "/home/u/.config/syncbolvarin/settings");
}

TEST_F(Settings, HostCommandSetsGetsAndDeletes) {
  const std::string file = dir_.File("s/settings");
  RunHost({"settings", "set", "presync", "  my backup.sh  ", "--settings", file});
  // The environment names the default file; --settings wins over it.
  ScopedEnv env("SYNCBOLVARIN_SETTINGS", file);
  EXPECT_EQ(RunHost({"settings", "get", "PRESYNC"}).out, "  my backup.sh  \n");
  EXPECT_EQ(RunHost({"settings", "get", "presync", "--settings", dir_.File("b")}).out, "\n");
  EXPECT_EQ(RunHost({"settings", "set", "presync", "  ", "--settings", file}).status, 0);
  const HostResult r = RunHost({"settings", "set", "langue", "100", "--settings", file + "/x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_PRED2(Contains, r.err, file + "/x");  // below a file
}
#endif

}  // namespace
}  // namespace bolvarin
