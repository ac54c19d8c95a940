// What the Windows tests share: where the built programs are, and the
// folders that the environment must keep inside the test's own tree.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/win/dialog_driver.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"

namespace bolvarin::testing {

// A Unix path of the build as Wine shows it to Windows programs (drive Z:);
// a path that already is a Windows one is returned as it is.
inline std::string WinPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
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

// Runs a command line and returns its exit code (-1 when it cannot start).
inline long RunProgram(const std::string& command) {
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return -1;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return static_cast<long>(code);
}

// Runs the host program (as RunHost) and calls `whileRunning` with its
// process id while it runs, to drive its windows; then waits for it to end.
// The program is ended when the driver throws or it does not end after.
HostResult RunHostWhile(const std::vector<std::string>& args,
                        const std::function<void(DWORD)>& whileRunning);

inline long Regsvr32(const std::string& options, const std::string& dll) {
  return RunProgram("regsvr32 /s " + options + "\"" + dll + "\"");
}

inline bool KeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// A value under HKEY_CLASSES_ROOT (nullptr: the key's default value), or
// "<missing>".
inline std::string ClassValue(const std::string& key, const char* name) {
  return RegistryText(HKEY_CLASSES_ROOT, key, name, "<missing>");
}

// Arguments for CallByName; a text argument borrows the Bstr's string.
inline VARIANT Long(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}
inline VARIANT Text(const com::Bstr& text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text.get();
  return v;
}

// What a late-bound call gave: its HRESULT, and on DISP_E_EXCEPTION the
// error's number and description.
struct Called {
  HRESULT hr;
  SCODE scode;
  std::string error;
};

// Calls the method `name` of `object` through IDispatch with `args` in
// order, as a late-bound client does; its value goes to `result`.
inline Called CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                         com::Variant* result = nullptr) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return {hr, 0, {}};
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  UINT bad = 0;
  EXCEPINFO exception{};
  com::Variant ignored;
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                      (result ? *result : ignored).Out(), &exception, &bad);
  com::Bstr description = com::Bstr::Adopt(exception.bstrDescription),
            source = com::Bstr::Adopt(exception.bstrSource),
            help = com::Bstr::Adopt(exception.bstrHelpFile);
  return {hr, exception.scode, description.get() ? com::FromBstr(description.get()) : ""};
}

// COM ready on this thread and `dlls` registered with regsvr32 for the test;
// unregistered afterwards, last first. Fixtures over it release their
// objects before its TearDown.
class RegisteredServers : public ::testing::Test {
 protected:
  explicit RegisteredServers(std::vector<std::string> dlls) : dlls_(std::move(dlls)) {}
  void SetUp() override {
    for (const std::string& dll : dlls_) ASSERT_EQ(Regsvr32("", dll), 0) << dll;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    initialised_ = true;
  }
  void TearDown() override {
    if (initialised_) CoUninitialize();
    for (auto dll = dlls_.rbegin(); dll != dlls_.rend(); ++dll)
      EXPECT_EQ(Regsvr32("/u ", *dll), 0) << *dll;
  }
  static com::ComPtr<IDispatch> Create(const wchar_t* progId) {
    CLSID clsid;
    com::ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid))) {
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                       reinterpret_cast<void**>(object.Out()));
    }
    return object;
  }

 private:
  std::vector<std::string> dlls_;
  bool initialised_ = false;
};

}  // namespace bolvarin::testing
