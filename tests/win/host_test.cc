// syncbolvarin.exe, the Windows host, as a user runs it: the conduit reached
// through COM once registered, the same output as the Linux host, and the
// registry in place of the settings file.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/win_test_support.h"
#include "windows/dialog/configure_ids.h"

namespace bolvarin {
namespace {

using namespace bolvarin::testing;

// One command of a session and what it must give: its exit status, its
// whole standard output (unless `anyOutput`), and a piece of standard error.
struct Step {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string errPiece;
  bool anyOutput = false;
};

void RunSession(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    std::string shown;
    for (const std::string& a : step.args) shown += " " + a;
    HostResult r = RunHost(step.args);
    EXPECT_EQ(r.status, step.status) << shown << "\n" << r.err;
    if (!step.anyOutput) {
      EXPECT_EQ(r.out, step.out) << shown;
    }
    EXPECT_NE(r.err.find(step.errPiece), std::string::npos) << shown << "\n" << r.err;
  }
}

// What the Linux host prints for `info` and `info 0 1 2 3 -1`, to the byte.
const std::string kInfo =
    "0: text SyncBolvarin\n1: integer 268435456\n2: integer 0\n3: double 1.0\n";
const std::string kInfoAndEmpty = kInfo + "-1: empty\n";

TEST(WindowsHost, RegistersTheConduitAndAnswersAsTheLinuxHost) {
  const std::string notRegistered =
      "syncbolvarin: the conduit \"SyncBolvarin.CNotify\" is not registered on this machine: "
      "register it with `regsvr32 SyncBolvarin.dll`, or `syncbolvarin.exe register`\n";
  const std::string folder =
      std::filesystem::path(WinPath(BOLVARIN_HOST_BINARY)).parent_path().string();
  auto said = [&folder](const std::string& done) {
    return done + " " + folder + "\\SyncBolvarin.dll\n" + done + " " + folder +
           "\\BolvarinStandIn.dll\n";
  };
  RunSession({
      {{"register"}, 0, said("registered"), ""},
      {{"unregister"}, 0, said("unregistered"), ""},
      {{"info"}, 1, "", notRegistered},
      {{"register"}, 0, said("registered"), ""},
      {{"info", "0", "1", "2", "3", "-1"}, 0, kInfoAndEmpty, ""},
      {{"info"}, 0, kInfo, ""},
      {{"unregister"}, 0, said("unregistered"), ""},
      {{"info", "0"}, 1, "", notRegistered},
  });
}

TEST(WindowsHost, KeepsTheSettingsInTheRegistryAndRefusesASettingsFile) {
  const char* refused = "--settings: the Windows build keeps its settings in the registry";
  RunSession({
      {{"settings", "set", "presync", "  my backup.bat  "}, 0, "", ""},
      {{"settings", "get", "PRESYNC"}, 0, "  my backup.bat  \n", ""},
      {{"settings", "get", "presync", "--settings", "C:\\settings"}, 1, "", refused},
      {{"settings", "set", "langue", "100", "--settings", "/tmp/settings"}, 1, "", refused},
      {{"sync", "--handheld", "hh.json", "--desktop", "d", "--settings", "s"}, 1, "", refused},
  });
}

TEST(WindowsHost, CodecAndHandheldCommandsMatchTheLinuxHost) {
  TempDir dir;
  const std::string image = dir.File("hh.json");
  RunSession({
      {{"codec", "encode", "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A"},
       0,
       "id=7 category=1 attributes=0\nC7 99 0E 1E FF FF FF 9C BF F9 00 00 41 00\n",
       ""},
      {{"codec", "decode", "--id", "7", "--category", "1", "C7990E1E FFFFFF9C BFF90000 41 00"},
       0,
       "7;1; 0;25/12/2003 14:30:00;-100;3;;;;;;;A\n",
       ""},
      {{"handheld", "create", "--image", image}, 0, "", ""},
      {{"handheld", "add", "--image", image, "--line", "0;2; 0;25/12/2003 14:30:00;-100;3;;;;;;;A"},
       0,
       "1\n",
       ""},
      {{"handheld", "create", "--image", image}, 1, "", "already exists"},
      {{"nonsense"}, 1, "", "syncbolvarin: "},
  });
}

// `configure` shows the conduit's dialog in the host's process; the test
// drives it from outside, as a user would, and reads the result line, the
// exit status and what OK stored in the registry.
TEST(WindowsHost, ConfigureTellsOkFromCancelAsTheLinuxHost) {
  BOLVARIN_NEEDS_DISPLAY();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::function<void(HWND)> drive;
    std::string out;
    std::vector<std::pair<const char*, std::string>> stored;  // afterwards
  };
  const std::vector<Case> cases = {
      {"configure, OK",
       {"configure", "--type", "3"},
       [](HWND d) {
         if (!Checked(d, IDC_OPTPCTOHH)) throw std::runtime_error("optPCToHH not selected");
         Click(d, IDC_OPTHHTOPC);
         Type(d, IDC_PRESYNC, "pre.bat");
         Click(d, IDC_CHKDEFINITIF);
         PostClick(d, IDOK);
       },
       "nSyncType=2 nSyncPref=1\n",
       {{"presync", "pre.bat"}, {"postsync", "<absent>"}, {"definitif", "OUI"}, {"langue", "0"}}},
      {"configure, cancelled",
       {"configure", "--entry", "configure", "--type", "3"},
       [](HWND d) {
         Click(d, IDC_OPTSYNC);
         Type(d, IDC_PRESYNC, "other.bat");
         PostClick(d, IDCANCEL);
       },
       "cancelled nSyncType=3 nSyncPref=0\n",
       {{"presync", "pre.bat"}, {"definitif", "OUI"}}},
      {"cfg, OK",
       {"configure", "--entry", "cfg", "--type", "1"},
       [](HWND d) {
         Click(d, IDC_OPTDONOTHING);
         Click(d, IDC_CHKDEFINITIF);
         PostClick(d, IDOK);
       },
       "nSyncNew=6 nSyncPref=1 nSyncPerm=1 nSyncTemp=1\n",
       {{"presync", "pre.bat"}, {"definitif", "NON"}}},
      {"cfg, cancelled",
       {"configure", "--entry", "cfg", "--type", "2"},
       [](HWND d) {
         if (!Checked(d, IDC_OPTHHTOPC)) throw std::runtime_error("optHHToPC not selected");
         Click(d, IDC_CHKDEFINITIF);
         PostClick(d, IDCANCEL);
       },
       "cancelled nSyncNew=2 nSyncPref=0 nSyncPerm=2 nSyncTemp=2\n",
       {{"definitif", "NON"}}},
  };
  RunSession({{{"register"}, 0, "", "", true}});
  StoreSettings();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostResult r = RunHostWhile(c.args, [&](DWORD process) {
      // The process starts first: up to twenty seconds.
      HWND dialog = WaitForDialog([process](HWND w) { return OfProcess(w, process); }, 20);
      if (dialog == nullptr) throw std::runtime_error("the window did not appear");
      c.drive(dialog);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
    for (const auto& [name, value] : c.stored) EXPECT_EQ(StoredSetting(name), value) << name;
  }
  StoreSettings();
  RunSession({{{"unregister"}, 0, "", "", true}});
}

// The Unix path Wine maps a Windows path to, as a user on Linux types it.
std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return {};
  std::wstring wide(windowsPath.begin(), windowsPath.end());
  char* unix = toUnix(wide.c_str());
  if (unix == nullptr) return {};
  std::string path(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

TEST(WindowsHost, RunsTheDemoAndSyncsThroughTheHandheldStandIn) {
  TempDir dir;
  const std::string unixDir = UnixPath(dir.path());
  ASSERT_FALSE(unixDir.empty()) << dir.path();
  const std::string image = dir.File("demo/handheld.json");
  const std::string open = "SyncBolvarin 1.3.2\nSyncBolvarin - Sync configured to ";
  RunSession({{{"register"}, 0, "", "", true}});

  // The demo folder given as the Unix path Wine maps; the sample image is
  // built into the program.
  HostResult r = RunHost({"demo", unixDir + "/demo"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind(open + "Fast Sync\nOk SyncBolvarin\n\n== ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n== MaBolvarin.txt ==\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\r'), std::string::npos) << "lines end in \\n alone";
  ASSERT_TRUE(Exists(image));

  std::filesystem::create_directories(dir.File("folder/MaBolvarin.txt"));
  RunSession({
      {{"sync", "--handheld", image, "--desktop", dir.File("demo/desktop"), "--type", "hh2pc"},
       0,
       open + "Copy to PC\nOk SyncBolvarin\n",
       ""},
      {{"sync", "--handheld", dir.File("missing.json"), "--desktop", dir.File("d")},
       1,
       "",
       "does not exist (give --create"},
  });
  // A data file that cannot be read: one error line, exit 2.
  r = RunHost({"sync", "--handheld", image, "--desktop", dir.File("folder")});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.out.find("SyncBolvarin - OpenPcStore - Cannot write \""), std::string::npos) << r.out;
  RunSession({{{"unregister"}, 0, "", "", true}});
}

}  // namespace
}  // namespace bolvarin
