#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/settings_file.h"
#include "os/files.h"
#include "tests/env_guard.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using bolvarin::testing::Exists;
using bolvarin::testing::ReadFile;
using bolvarin::testing::RunHost;
using bolvarin::testing::ScopedEnv;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;

// Each test works on its own settings file, installed as the active store.
class Settings : public ::testing::Test {
 protected:
  Settings() : path_(dir_.File("config/settings")), store_(path_) { SetActiveSettings(&store_); }
  ~Settings() override { SetActiveSettings(nullptr); }

  std::string Get(const std::string& name) { return GetRegValue(kSettingsKey, name); }
  void Set(const std::string& name, const std::string& text) {
    SetRegValue(kSettingsKey, name, text);
  }

  TempDir dir_;
  std::string path_;
  FileSettings store_;
};

TEST_F(Settings, MissingFileReadsEmptyAndReadingCreatesTheKey) {
  EXPECT_EQ(Get("langue"), "");
  ASSERT_TRUE(Exists(path_));  // folder and file created
  EXPECT_TRUE(store_.Query(kSettingsKey, "langue") == std::nullopt);
  const std::string afterFirstRead = ReadFile(path_);
  EXPECT_NE(afterFirstRead.find("SoftWare\\\\SyncMabolvarin\n"), std::string::npos);
  EXPECT_EQ(Get("presync"), "");
  EXPECT_EQ(ReadFile(path_), afterFirstRead);  // the key is created once
}

TEST_F(Settings, TextIsStoredAsGivenAndBlankDeletes) {
  struct Case {
    std::string text;
    std::string read;
  };
  const std::vector<Case> cases = {
      {"OUI", "OUI"},
      {"  notepad.exe  ", "  notepad.exe  "},  // spaces around a text are kept
      {"\t", "\t"},                            // only spaces count as blank
      {"a\\b\tc\r\nd", "a\\b\tc\r\nd"},        // characters the file format escapes
      {"caf\xc3\xa9 #1", "caf\xc3\xa9 #1"},
      {"", ""},
      {" ", ""},
      {"     ", ""},
  };
  for (const auto& c : cases) {
    Set("presync", "previous value");
    Set("presync", c.text);
    EXPECT_EQ(Get("presync"), c.read) << "[" << c.text << "]";
    EXPECT_EQ(store_.Query(kSettingsKey, "presync").has_value(), !c.read.empty())
        << "a blank text must delete the value, not store it: [" << c.text << "]";
  }
}

TEST_F(Settings, NamesAndKeyMatchWithoutRegardToCase) {
  Set("definitif", "OUI");
  EXPECT_EQ(Get("DEFINITIF"), "OUI");
  EXPECT_EQ(GetRegValue("software\\syncmabolvarin", "Definitif"), "OUI");
  Set("DEFINITIF", "NON");  // one value, not two
  EXPECT_EQ(Get("definitif"), "NON");
  const std::string file = ReadFile(path_);
  EXPECT_EQ(file.find("NON"), file.rfind("NON"));
  EXPECT_EQ(file.find("OUI"), std::string::npos);
  Set("Definitif", "");
  EXPECT_EQ(Get("definitif"), "");
  // Another key is another place.
  SetRegValue("SoftWare\\Other", "definitif", "OUI");
  EXPECT_EQ(Get("definitif"), "");
  EXPECT_EQ(GetRegValue("SOFTWARE\\OTHER", "DEFINITIF"), "OUI");
}

TEST_F(Settings, EachValueKeepsItsOwnText) {
  Set("langue", "100");
  Set("presync", "/usr/bin/backup --now");
  Set("postsync", "'my viewer'");
  Set("definitif", "OUI");
  Set("presync", "");
  EXPECT_EQ(Get("langue"), "100");
  EXPECT_EQ(Get("presync"), "");
  EXPECT_EQ(Get("postsync"), "'my viewer'");
  EXPECT_EQ(Get("definitif"), "OUI");
  // A second store on the same file sees the same values.
  FileSettings again(path_);
  EXPECT_EQ(again.Query(kSettingsKey, "LANGUE").value_or("?"), "100");
}

TEST_F(Settings, CorruptLinesAreSkippedAndKept) {
  fs::create_directories(dir_.File("config"));
  const std::string damaged =
      "garbage without tabs but \\q bad escape\n"
      "SoftWare\\\\SyncMabolvarin\tlangue\n"
      "SoftWare\\\\SyncMabolvarin\tpresync\tbackup.sh\r\n"
      "\t\tno key\n"
      "SoftWare\\\\SyncMabolvarin\tpostsync\ttrailing\\\n"
      "\xff\xfe\x01 binary\n"
      "SoftWare\\\\SyncMabolvarin\tdefinitif\tOUI";  // no final line feed
  WriteFile(path_, damaged);
  EXPECT_EQ(Get("presync"), "backup.sh");  // a CR LF line end is not part of the value
  EXPECT_EQ(Get("definitif"), "OUI");
  EXPECT_EQ(Get("langue"), "");
  EXPECT_EQ(Get("postsync"), "");

  Set("langue", "100");
  EXPECT_EQ(Get("langue"), "100");
  EXPECT_EQ(Get("presync"), "backup.sh");
  EXPECT_EQ(Get("definitif"), "OUI");
  // The lines that could not be read are still there, unchanged.
  const std::string file = ReadFile(path_);
  for (const std::string line : {"garbage without tabs but \\q bad escape\n", "\t\tno key\n",
                                 "SoftWare\\\\SyncMabolvarin\tpostsync\ttrailing\\\n"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line;
  }
}

TEST_F(Settings, UnreadableFileReadsEmptyAndIsNeverOverwritten) {
  fs::create_directories(path_);  // a folder where the file should be
  WriteFile(path_ + "/precious", "x");
  EXPECT_EQ(Get("presync"), "");
  Set("presync", "prog");
  Set("postsync", "");
  EXPECT_EQ(Get("presync"), "");
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_EQ(ReadFile(path_ + "/precious"), "x");
  EXPECT_FALSE(store_.Set(kSettingsKey, "presync", "prog"));
  EXPECT_FALSE(store_.CreateKey(kSettingsKey));
}

TEST_F(Settings, FailedWriteKeepsTheFileAsItWas) {
  Set("langue", "0");
  Set("presync", "backup.sh");
  const std::string before = ReadFile(path_);
  for (long long bytes : {0LL, 10LL, static_cast<long long>(before.size())}) {
    FailNextReplaceAfterForTesting(bytes);
    Set("postsync", "viewer");  // never raises
    EXPECT_EQ(ReadFile(path_), before) << bytes;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.File("config"))) {
      names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"settings"}) << "temporary file left behind";
  }
  EXPECT_EQ(Get("postsync"), "");
  EXPECT_EQ(Get("presync"), "backup.sh");
}

TEST(SettingsDefault, PathFollowsTheEnvironment) {
  struct Case {
    std::optional<std::string> explicitPath, configHome, home;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"/x/my-settings", "/cfg", "/home/u", "/x/my-settings"},
      {std::nullopt, "/cfg", "/home/u", "/cfg/syncbolvarin/settings"},
      {"", "/cfg", "/home/u", "/cfg/syncbolvarin/settings"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.config/syncbolvarin/settings"},
      {std::nullopt, "relative/cfg", "/home/u", "/home/u/.config/syncbolvarin/settings"},
  };
  for (const auto& c : cases) {
    ScopedEnv a("SYNCBOLVARIN_SETTINGS", c.explicitPath);
    ScopedEnv b("XDG_CONFIG_HOME", c.configHome);
    ScopedEnv h("HOME", c.home);
    EXPECT_EQ(DefaultSettingsPath(), c.expected);
  }
}

TEST(SettingsDefault, DefaultStoreUsesTheFileOfTheMoment) {
  TempDir dir;
  SetActiveSettings(nullptr);
  {
    ScopedEnv file("SYNCBOLVARIN_SETTINGS", dir.File("first"));
    SetRegValue(kSettingsKey, "langue", "100");
    EXPECT_EQ(GetRegValue(kSettingsKey, "langue"), "100");
  }
  {
    ScopedEnv file("SYNCBOLVARIN_SETTINGS", dir.File("second"));
    EXPECT_EQ(GetRegValue(kSettingsKey, "langue"), "");
  }
  EXPECT_NE(ReadFile(dir.File("first")).find("\tlangue\t100\n"), std::string::npos);
}

TEST(SettingsCommand, SetGetAndDelete) {
  TempDir dir;
  const std::string file = dir.File("s/settings");
  auto r = RunHost({"settings", "set", "presync", "  my backup.sh  ", "--settings", file});
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunHost({"settings", "get", "PRESYNC", "--settings", file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "  my backup.sh  \n");

  // The environment names the default file; --settings wins over it.
  r = RunHost({"settings", "get", "presync"}, {"SYNCBOLVARIN_SETTINGS=" + file});
  EXPECT_EQ(r.out, "  my backup.sh  \n");
  r = RunHost({"settings", "get", "presync", "--settings", dir.File("other")},
              {"SYNCBOLVARIN_SETTINGS=" + file});
  EXPECT_EQ(r.out, "\n");

  for (const std::vector<std::string>& deleting :
       {std::vector<std::string>{"settings", "set", "presync", "--settings", file},
        std::vector<std::string>{"settings", "set", "presync", "   ", "--settings", file}}) {
    ASSERT_EQ(RunHost({"settings", "set", "presync", "x", "--settings", file}).status, 0);
    r = RunHost(deleting);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(RunHost({"settings", "get", "presync", "--settings", file}).out, "\n");
    EXPECT_EQ(ReadFile(file).find("presync"), std::string::npos);
  }
}

TEST(SettingsCommand, UnusableFileIsReported) {
  TempDir dir;
  WriteFile(dir.File("plain"), "x");
  const std::string file = dir.File("plain/settings");  // below a regular file
  auto r = RunHost({"settings", "set", "langue", "100", "--settings", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("syncbolvarin: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
}

}  // namespace
}  // namespace bolvarin
