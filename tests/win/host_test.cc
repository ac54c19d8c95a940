// syncbolvarin.exe, the Windows host, as a user runs it: the conduit reached
// through COM once registered, the same output as the Linux host, and the
// registry in place of the settings file.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "tests/win/win_test_support.h"
#include "windows/dialog/configure_ids.h"

namespace bolvarin {
namespace {

using namespace bolvarin::testing;

TEST(WindowsHost, RegistersTheConduitAndKeepsTheSettingsInTheRegistry) {
  const char* refused = "--settings: the Windows build keeps its settings in the registry";
  const std::string notRegistered =
      "syncbolvarin: the conduit \"SyncBolvarin.CNotify\" is not registered on this machine: "
      "register it with `regsvr32 SyncBolvarin.dll`, or `syncbolvarin.exe register`\n";
  const std::string folder =
      std::filesystem::path(WinPath(BOLVARIN_HOST_BINARY)).parent_path().string();
  auto said = [&folder](const std::string& done) {
    return done + " " + folder + "\\SyncBolvarin.dll\n" + done + " " + folder +
           "\\BolvarinStandIn.dll\n";
  };
  // Each command in turn and what it must give: its exit status, its whole
  // standard output, and a piece of standard error.
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, errPiece;
  } steps[] = {
      {{"register"}, 0, said("registered"), ""},
      // Each kind of value as the Linux host prints it, to the byte.
      {{"info", "0", "1", "3", "-1"},
       0,
       "0: text SyncBolvarin\n1: integer 268435456\n3: double 1.0\n-1: empty\n",
       ""},
      {{"unregister"}, 0, said("unregistered"), ""},
      {{"info"}, 1, "", notRegistered},
      // The settings are the registry's, and no settings file is taken.
      {{"settings", "set", "presync", "  my backup.bat  "}, 0, "", ""},
      {{"settings", "get", "PRESYNC"}, 0, "  my backup.bat  \n", ""},
      {{"settings", "get", "presync", "--settings", "C:\\settings"}, 1, "", refused},
      {{"settings", "set", "langue", "100", "--settings", "/tmp/settings"}, 1, "", refused},
      {{"sync", "--handheld", "hh.json", "--desktop", "d", "--settings", "s"}, 1, "", refused},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::PrintToString(step.args));
    HostResult r = RunHost(step.args);
    EXPECT_EQ(r.status, step.status) << r.err;
    EXPECT_EQ(r.out, step.out);
    EXPECT_PRED2(Contains, r.err, step.errPiece);
  }
}

// The codec, handheld and sync commands run the same code as the Linux
// host's; their tests run through this host too (RunHost).

// `configure` shows the conduit's window in the host's process, through
// either entry; the test drives it from outside, as a user would. (What OK
// stores: tests/win/configure_dialog_test.cc, tests/win/com_server_test.cc.)
TEST(WindowsHost, ConfigureShowsTheWindowForBothEntries) {
  BOLVARIN_NEEDS_DISPLAY();
  HostConduit conduit;
  StoreSettings();
  // Opened with one action shown, another one chosen, then OK.
  const struct {
    std::vector<std::string> args;
    int shown, chosen;
    std::string out;
  } cases[] = {
      {{"configure", "--type", "3"}, IDC_OPTPCTOHH, IDC_OPTHHTOPC, "nSyncType=2 nSyncPref=1\n"},
      {{"configure", "--entry", "cfg", "--type", "2"},
       IDC_OPTHHTOPC,
       IDC_OPTDONOTHING,
       "nSyncNew=6 nSyncPref=1 nSyncPerm=2 nSyncTemp=2\n"},
  };
  for (const auto& c : cases) {
    const HostResult r = RunHostWhile(c.args, [&](DWORD process) {
      // The process starts first: up to twenty seconds.
      HWND d = WaitForDialog([process](HWND w) { return OfProcess(w, process); }, 20);
      Want("the action shown", Checked(d, c.shown));
      Click(d, c.chosen);
      PostClick(d, IDOK);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
  StoreSettings();
}

// The demo folder given as a Unix path, as a user on Linux types it, which
// Wine maps to a Windows path: a folder beside the host program; the sample
// image is built into the program. (The demo's run through this host:
// tests/link_test.cc.)
TEST(WindowsHost, RunsTheDemoThroughTheHandheldStandIn) {
  if (GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name") == nullptr)
    GTEST_SKIP() << "not under Wine";
  const std::string dir = BOLVARIN_HOST_BINARY "-demo-" + std::to_string(GetCurrentProcessId());
  HostConduit conduit;
  const HostResult r = RunHost({"demo", dir});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Exists(WinPath(dir) + "\\handheld.json"));
  std::filesystem::remove_all(WinPath(dir));
}

}  // namespace
}  // namespace bolvarin
