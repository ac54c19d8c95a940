// What the Windows tests share: where the built programs are, and the
// folders that the environment must keep inside the test's own tree.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/test_util.h"
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

// The trash that Wine's shell uses for the recycle bin: $XDG_DATA_HOME/Trash.
// Empty when XDG_DATA_HOME is not set, so that no test ever reaches the
// user's own trash.
inline std::string TrashFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome == nullptr || dataHome[0] == '\0') return {};
  return WinPath(std::string(dataHome) + "/Trash");
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

// The configuration window's settings in the registry
// (HKEY_LOCAL_MACHINE\SoftWare\SyncMabolvarin): one read ("<absent>" when
// missing), and all of them removed.
inline constexpr char kRegistrySettingsKey[] = "SoftWare\\SyncMabolvarin";
inline std::string StoredSetting(const char* name) {
  char text[512] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kRegistrySettingsKey, name, RRF_RT_REG_SZ, nullptr, text,
                   &size) != ERROR_SUCCESS)
    return "<absent>";
  return text;
}
inline void RemoveSettings() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistrySettingsKey, 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  for (const char* name : {"presync", "postsync", "definitif", "langue"})
    RegDeleteValueA(key, name);
  RegCloseKey(key);
}

inline bool ClassKeyExists(const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// A value under HKEY_CLASSES_ROOT (nullptr: the key's default value), or
// "<missing>".
inline std::string ClassValue(const std::string& key, const char* name) {
  char buffer[512] = {};
  DWORD size = sizeof buffer - 1;
  if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return "<missing>";
  return buffer;
}

// Calls the method `name` of `object` through IDispatch with `args` in
// order, as a late-bound client does.
inline HRESULT CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                          com::Variant& result, EXCEPINFO& exception) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  UINT bad = 0;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Out(),
                        &exception, &bad);
}

}  // namespace bolvarin::testing
