// What the Windows tests share: where the built programs are, running them,
// the classes' registry keys, and the COM servers registered for a test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "tests/test_util.h"
#include "tests/win/dialog_driver.h"
#include "windows/com/late_bound.h"

namespace bolvarin::testing {

// A Unix path of the build as Wine shows it to Windows programs (drive Z:);
// a path that already is a Windows one is returned as it is.
inline std::string WinPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

// The built servers.
inline const std::string kConduitDll = WinPath(BOLVARIN_COM_DLL);
inline const std::string kStandInDll = WinPath(BOLVARIN_STANDIN_DLL);

// The trash that Wine's shell uses for the recycle bin: $XDG_DATA_HOME/Trash.
// Empty when XDG_DATA_HOME is not set, so that no test ever reaches the
// user's own trash.
inline std::string TrashFolder() {
  const std::string dataHome = Environment("XDG_DATA_HOME");
  return dataHome.empty() ? "" : WinPath(dataHome + "/Trash");
}

// Runs a command line (as RunHost runs the host) and calls `whileRunning`,
// when given, with its process id while it runs, to drive its windows; then
// waits for it to end. The program is ended when the driver throws or it does
// not end after. RunHostWhile does the same for the host program.
HostResult RunCommand(const std::string& line,
                      const std::function<void(DWORD)>& whileRunning = nullptr);
HostResult RunHostWhile(const std::vector<std::string>& args,
                        const std::function<void(DWORD)>& whileRunning);

inline int Regsvr32(const std::string& options, const std::string& dll) {
  return RunCommand("regsvr32 /s " + options + "\"" + dll + "\"").status;
}

inline bool KeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// A value under HKEY_CLASSES_ROOT (nullptr: the key's default value).
inline std::string ClassValue(const std::string& key, const char* name = nullptr) {
  return RegistryText(HKEY_CLASSES_ROOT, key, name);
}

// COM ready on this thread, both servers registered with regsvr32 for the
// test, and the conduit and the stand-in's control object created by their
// ProgIDs; the objects are released and the servers unregistered afterwards.
class RegisteredServers : public ::testing::Test {
 protected:
  RegisteredServers() {
    for (const std::string& dll : {kStandInDll, kConduitDll})
      EXPECT_EQ(Regsvr32("", dll), 0) << dll;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    com::CreateByProgId("SyncBolvarin.HandheldStandIn", CLSCTX_INPROC_SERVER, control_);
    com::CreateByProgId("SyncBolvarin.CNotify", CLSCTX_INPROC_SERVER, conduit_);
  }
  ~RegisteredServers() override {
    control_.Reset();
    conduit_.Reset();
    CoUninitialize();
    for (const std::string& dll : {kConduitDll, kStandInDll})
      EXPECT_EQ(Regsvr32("/u ", dll), 0) << dll;
  }
  void SetUp() override { ASSERT_TRUE(control_ && conduit_); }

  com::ComPtr<IDispatch> control_, conduit_;
};

// A class object of a loaded server, through its DllGetClassObject.
inline HRESULT GetClassObject(HMODULE module, REFCLSID clsid, com::ComPtr<IClassFactory>& factory) {
  auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  return entry != nullptr ? entry(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Out()))
                          : E_NOTIMPL;
}

// A server's DllCanUnloadNow.
inline HRESULT CanUnloadNow(HMODULE module) {
  auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return entry != nullptr ? entry() : E_NOTIMPL;
}

}  // namespace bolvarin::testing
