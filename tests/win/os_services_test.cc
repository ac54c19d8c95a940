// The Windows services under the conduit: registry settings and starting
// programs (removing and replacing files: tests/files_test.cc, shared with
// the Linux build).
#include <gtest/gtest.h>
#include <windows.h>

#include "config/settings.h"
#include "os/run_and_wait.h"
#include "tests/win/win_test_support.h"

namespace bolvarin {
namespace {

using namespace bolvarin::testing;

// --- Settings in the registry ---------------------------------------------

// A setting's type and bytes as the registry holds them ("" when missing).
std::string ReadRaw(const std::string& name) {
  char bytes[512];
  DWORD size = sizeof bytes, type = 0;
  if (RegGetValueA(SettingsParent(), kSettingsSubkey, name.c_str(), RRF_RT_ANY, &type, bytes,
                   &size) != ERROR_SUCCESS)
    return "";
  return (type == REG_SZ ? "REG_SZ " : "other ") + std::string(bytes, size);
}

void WriteRaw(const std::string& name, const std::string& bytes) {
  ASSERT_EQ(RegSetKeyValueA(SettingsParent(), kSettingsSubkey, name.c_str(), REG_SZ, bytes.data(),
                            static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

// The first read creates the key. Texts are REG_SZ values in the ANSI code
// page, each ended by one zero byte, and read without it; a value too short
// for a text reads empty; a blank text deletes the value. (Which texts are
// blank, and names matching without regard to case: tests/settings_test.cc
// and the registry itself.)
TEST(RegistrySettings, TextsAreZeroEndedRegSzValuesAndBlankDeletes) {
  RegDeleteKeyA(SettingsParent(), kSettingsSubkey);  // the tests run in their own Wine prefix
  ASSERT_FALSE(KeyExists(SettingsParent(), kSettingsSubkey));
  EXPECT_EQ(GetRegValue(kSettingsKey, "langue"), "");
  EXPECT_TRUE(KeyExists(SettingsParent(), kSettingsSubkey));
  for (const std::string& bytes : {std::string(), std::string(1, '\0')}) {
    WriteRaw("presync", bytes);
    EXPECT_EQ(GetRegValue(kSettingsKey, "presync"), "") << "[" << bytes << "]";
  }
  WriteRaw("presync", "ab");  // stored without its zero byte: nothing is cut off
  EXPECT_EQ(GetRegValue(kSettingsKey, "presync"), "ab");
  SetRegValue(kSettingsKey, "PRESYNC", "caf\xe9 ; x");
  EXPECT_EQ(ReadRaw("presync"), "REG_SZ caf\xe9 ; x" + std::string(1, '\0'));
  SetRegValue(kSettingsKey, "presync", "   ");
  EXPECT_EQ(ReadRaw("presync"), "");
}

// --- Starting programs ------------------------------------------------------
// (The data file's path with blanks as one argument: the pre-sync cases of
// tests/conduit_run_test.cc, which run here too.)

std::string Probe() { return "\"" + WinPath(BOLVARIN_PROBE_PROGRAM) + "\""; }

// A path ending in a backslash keeps it: the quote after it is not escaped.
TEST(RunAndWaitWin, WaitsForTheEndWhateverTheExitCodeAndYieldsOrFailsAtOnce) {
  TempDir dir;
  for (const std::string code : {"0", "3", "259"}) {
    const std::string out = dir.File("done-" + code);
    YieldCounter yields;
    ASSERT_TRUE(RunAndWait(Probe() + " 300 " + code + " \"" + out + "\" x", "C:\\ends with\\"));
    EXPECT_EQ(ReadFile(out), "[x]\n[C:\\ends with\\]\n") << "it had not ended: " << code;
    EXPECT_GE(yields.count, 2) << code;   // the host is served while it runs...
    EXPECT_LE(yields.count, 40) << code;  // ...without spinning
  }
  // A program that cannot start: false at once.
  YieldCounter yields;
  for (const std::string command :
       {"", "   ", "no-such-program-syncbolvarin.exe", "\"C:\\no such folder\\prog.exe\" arg"}) {
    EXPECT_FALSE(RunAndWait(command, "C:\\data.txt")) << command;
  }
  EXPECT_EQ(yields.count, 0);
}

}  // namespace
}  // namespace bolvarin
