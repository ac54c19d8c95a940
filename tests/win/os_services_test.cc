// The Windows services under the conduit: registry settings, starting
// programs, removing and replacing files.
#include <windows.h>
// windows.h maps ReplaceFile onto ReplaceFileA; the tests call the conduit's own.
#undef ReplaceFile

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "base/text.h"
#include "config/settings.h"
#include "os/files.h"
#include "os/run_and_wait.h"
#include "tests/test_util.h"
#include "tests/win/win_test_support.h"

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;
using Names = std::vector<std::string>;

// --- Settings in the registry ---------------------------------------------

struct RawValue {
  bool exists = false;
  DWORD type = 0;
  std::string bytes;
};

RawValue ReadRaw(const std::string& name) {
  RawValue v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.exists = true;
    v.bytes.resize(size);
    RegQueryValueExA(key, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()),
                     &size);
    v.bytes.resize(size);
  }
  RegCloseKey(key);
  return v;
}

void WriteRaw(const std::string& name, const std::string& bytes) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSettingsKey, &key), ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

bool KeyExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

class RegistrySettings : public ::testing::Test {
 protected:
  // Each test starts without the key (the tests run in their own Wine prefix).
  RegistrySettings() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey); }
  ~RegistrySettings() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey); }
};

TEST_F(RegistrySettings, FirstReadCreatesTheKeyAndShortValuesReadEmpty) {
  ASSERT_FALSE(KeyExists());
  EXPECT_EQ(GetRegValue(kSettingsKey, "langue"), "");
  EXPECT_TRUE(KeyExists());
  for (const std::string& bytes : {std::string(), std::string(1, '\0')}) {
    WriteRaw("presync", bytes);
    EXPECT_EQ(GetRegValue(kSettingsKey, "presync"), "") << "[" << bytes << "]";
  }
  WriteRaw("presync", "ab");  // stored without its zero byte: nothing is cut off
  EXPECT_EQ(GetRegValue(kSettingsKey, "presync"), "ab");
}

TEST_F(RegistrySettings, TextsAreStoredAsGivenAndBlankDeletes) {
  for (const std::string text : {"  notepad.exe  ", "\t", "caf\xe9 ; x", "", " ", "    "}) {
    SetRegValue(kSettingsKey, "presync", "previous value");
    SetRegValue(kSettingsKey, "presync", text);
    const bool blank = text.find_first_not_of(' ') == std::string::npos;
    const RawValue raw = ReadRaw("presync");
    EXPECT_EQ(raw.exists, !blank) << "[" << text << "]";
    if (!blank) {
      EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(raw.bytes, text + std::string(1, '\0'));  // one zero byte ends the text
    }
    EXPECT_EQ(GetRegValue(kSettingsKey, "presync"), blank ? "" : text);
  }
}

TEST_F(RegistrySettings, NamesMatchWithoutRegardToCase) {
  SetRegValue(kSettingsKey, "definitif", "oui");
  EXPECT_EQ(UpperAscii(GetRegValue(kSettingsKey, "DEFINITIF")), "OUI");
  SetRegValue(kSettingsKey, "DEFINITIF", "NON");  // one value, not two
  EXPECT_EQ(ReadRaw("definitif").bytes, std::string("NON", 4));
  SetRegValue(kSettingsKey, "Definitif", "");
  EXPECT_FALSE(ReadRaw("definitif").exists);
}

// --- Starting programs ------------------------------------------------------

class YieldCounter {
 public:
  YieldCounter() : previous_(SetPendingMessagesHandler([this] { ++count; })) {}
  ~YieldCounter() { SetPendingMessagesHandler(previous_); }
  int count = 0;

 private:
  std::function<void()> previous_;
};

std::string Probe() { return "\"" + WinPath(BOLVARIN_PROBE_PROGRAM) + "\""; }

TEST(RunAndWaitWin, WaitsForTheEndWhateverTheExitCodeAndYields) {
  TempDir dir;
  for (const std::string code : {"0", "3", "259"}) {
    const std::string out = dir.File("done-" + code);
    YieldCounter yields;
    ASSERT_TRUE(RunAndWait(Probe() + " 300 " + code + " \"" + out + "\" x")) << code;
    EXPECT_EQ(ReadFile(out), "[x]\n") << "it had not ended: " << code;
    EXPECT_GE(yields.count, 2) << code;   // the host is served while it runs...
    EXPECT_LE(yields.count, 40) << code;  // ...without spinning
  }
}

TEST(RunAndWaitWin, DataPathWithBlanksArrivesAsOneArgument) {
  TempDir dir;
  const std::string out = dir.File("args");
  const std::string data = dir.File("My  Ledger\\") + "data file.txt";
  ASSERT_TRUE(RunAndWait(Probe() + " 0 0 \"" + out + "\" a b", data));
  EXPECT_EQ(ReadFile(out), "[a]\n[b]\n[" + data + "]\n");
  ASSERT_TRUE(RunAndWait(Probe() + " 0 0 \"" + out + "\"", "C:\\ends with\\"));
  EXPECT_EQ(ReadFile(out), "[C:\\ends with\\]\n");
}

TEST(RunAndWaitWin, ProgramsThatCannotStartReturnFalseAtOnce) {
  YieldCounter yields;
  for (const std::string command :
       {"", "   ", "no-such-program-syncbolvarin.exe", "\"C:\\no such folder\\prog.exe\" arg"}) {
    EXPECT_FALSE(RunAndWait(command, "C:\\data.txt")) << command;
  }
  EXPECT_EQ(yields.count, 0);
}

// --- Removing and replacing files -----------------------------------------

Names NamesIn(const std::string& folder) {
  Names names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class FilesWin : public ::testing::Test {
 protected:
  void SetUp() override {
    trash_ = TrashFolder();
    ASSERT_FALSE(trash_.empty()) << "XDG_DATA_HOME must point into the test's folder";
    std::error_code ec;
    fs::remove_all(trash_, ec);
  }
  Names TrashNames() const { return NamesIn(trash_ + "\\files"); }
  std::string trash_;
  TempDir dir_;
};

TEST_F(FilesWin, RemovalGoesToTheRecycleBinOrForGood) {
  WriteFile(dir_.File("ledger.txt"), "records\r\n");
  RemoveFile(dir_.File("ledger.txt"), false);
  EXPECT_FALSE(Exists(dir_.File("ledger.txt")));
  EXPECT_EQ(TrashNames(), Names{"ledger.txt"});
  EXPECT_EQ(ReadFile(trash_ + "\\files\\ledger.txt"), "records\r\n");

  WriteFile(dir_.File("mode.txt"), "x");
  RemoveFile(dir_.File("mode.txt"), true);
  EXPECT_FALSE(Exists(dir_.File("mode.txt")));
  EXPECT_EQ(TrashNames(), Names{"ledger.txt"});

  fs::create_directory(dir_.File("folder"));
  for (bool permanent : {false, true}) {
    for (const std::string& path : {std::string("  "), dir_.File("missing"), dir_.File("folder")})
      RemoveFile(path, permanent);
  }
  EXPECT_TRUE(fs::is_directory(dir_.File("folder")));
  EXPECT_EQ(TrashNames(), Names{"ledger.txt"});
}

TEST_F(FilesWin, ReplaceKeepsTheOldVersionInTheRecycleBin) {
  const std::string path = dir_.File("categories.txt");
  WriteFile(path, "old\r\n");
  ReplaceFile(path, "new\r\n", false);
  EXPECT_EQ(ReadFile(path), "new\r\n");
  EXPECT_EQ(TrashNames(), Names{"categories.txt"});
  EXPECT_EQ(ReadFile(trash_ + "\\files\\categories.txt"), "old\r\n");
  ReplaceFile(path, "newer", true);
  ReplaceFile(dir_.File("fresh.txt"), "created", false);
  EXPECT_EQ(ReadFile(path), "newer");
  EXPECT_EQ(TrashNames(), Names{"categories.txt"});
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"categories.txt", "fresh.txt"}));
}

TEST_F(FilesWin, FailurePartWayLeavesTheOldFileWhole) {
  const std::string path = dir_.File("ledger.txt");
  const std::string old = "1;0;0;01/01/2024;12.50;;\r\n", replacement = old + old + old;
  for (long long bytes : {0LL, 7LL, static_cast<long long>(replacement.size())}) {
    for (bool permanent : {false, true}) {
      WriteFile(path, old);
      FailNextReplaceAfterForTesting(bytes);
      try {
        ReplaceFile(path, replacement, permanent);
        ADD_FAILURE() << "no error for a failed write";
      } catch (const ConduitError& e) {
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
      }
      EXPECT_EQ(ReadFile(path), old) << bytes;
      EXPECT_EQ(NamesIn(dir_.path()), Names{"ledger.txt"}) << "temporary file left behind";
    }
  }
  EXPECT_EQ(TrashNames(), Names{});
}

TEST(FilesWinRead, ReadAndFindWithoutRegardToCase) {
  TempDir dir;
  const std::string data = std::string("a\r\n\0\xff", 5) + std::string(200000, 'z');
  WriteFile(dir.File("Data.TXT"), data);
  fs::create_directory(dir.File("folder.txt"));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(dir.File("data.txt"), read));
  EXPECT_EQ(read, data);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing\\x"), read));
  EXPECT_THROW(ReadWholeFile(dir.File("folder.txt"), read), ConduitError);
  EXPECT_TRUE(IsRegularFile(FindFileNoCase(dir.path(), "DATA.txt")));
  EXPECT_EQ(FindFileNoCase(dir.path(), "FOLDER.TXT"), "");
  EXPECT_EQ(FindFileNoCase(dir.path(), "..\\x"), "");
}

}  // namespace
}  // namespace bolvarin
