// The host's operating-system services on Windows: the registry as the
// settings store, Unix paths mapped by Wine, COM for the process, and the
// register and unregister commands for the COM servers beside the program.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <windows.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "config/settings.h"
#include "host/commands.h"
#include "host/host_os.h"
#include "os/wide_text_win.h"
#include "os/win_handles_win.h"
#include "windows/com/com_glue.h"

namespace bolvarin::host {

namespace fs = std::filesystem;

namespace {

std::string RegistryKeyName() { return std::string("HKEY_LOCAL_MACHINE\\") + kSettingsKey; }

// The COM servers that `register` and `unregister` handle, in the order
// they are registered. The conduit is required; the handheld stand-in, which
// only `sync` and `demo` need, is handled when it is there.
struct ServerDll {
  const char* file;
  bool required;
};
constexpr ServerDll kServers[] = {{"SyncBolvarin.dll", true}, {"BolvarinStandIn.dll", false}};

std::string HresultText(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  std::string message = win::ErrorMessage(static_cast<DWORD>(hr));
  return message.empty() ? std::string(code) : message + " (" + code + ")";
}

// Calls DllRegisterServer or DllUnregisterServer of every server beside the
// program; a failure of one does not stop the others. Prints one line per
// server handled; raises a CommandError naming every failure.
void RegisterServers(bool registering) {
  const char* entry = registering ? "DllRegisterServer" : "DllUnregisterServer";
  std::string failures;
  auto fail = [&failures](const std::string& why) {
    failures += (failures.empty() ? "" : "; ") + why;
  };
  for (const ServerDll& server : kServers) {
    const std::string path = (fs::path(ProgramFolder()) / server.file).string();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
      if (server.required) {
        fail(std::string("no ") + server.file + " beside the program (" + path + ")");
      } else {
        std::cerr << "syncbolvarin: no " << server.file << " beside the program: left alone\n";
      }
      continue;
    }
    const win::Library module(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) {
      fail("cannot load " + path + ": " + win::ErrorMessage(GetLastError()));
      continue;
    }
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    auto call =
        reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module.get(), entry)));
    if (call == nullptr) {
      fail(path + " has no " + entry + ": it is not a COM server");
    } else if (const HRESULT hr = call(); FAILED(hr)) {
      fail(path + ": " + entry + " failed: " + HresultText(hr));
    } else {
      std::cout << (registering ? "registered " : "unregistered ") << path << "\n";
    }
  }
  if (!failures.empty()) throw CommandError(failures);
}

}  // namespace

void UseSettingsFile(const std::string& path) {
  if (path.empty()) return;
  throw CommandError("--settings: the Windows build keeps its settings in the registry, under " +
                     RegistryKeyName() + "; there is no settings file to choose");
}

std::string SettingsStoreName(const std::string&) {
  return "the registry key " + RegistryKeyName();
}

const char* SettingsOptionHelp() {
  return "Not available on Windows: the settings are the registry's, under "
         "HKEY_LOCAL_MACHINE\\SoftWare\\SyncMabolvarin";
}

std::string DemoSettingsPath(const std::string&) { return {}; }

std::string NativePath(const std::string& path) {
  // A Unix path: only Wine can tell where it lies. "//server/share" and
  // paths on a drive are Windows paths already.
  if (path.empty() || path[0] != '/' || (path.size() > 1 && path[1] == '/')) return path;
  using ToDos = WCHAR*(CDECL*)(const char*);
  static const ToDos toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos == nullptr) return path;  // on Windows itself: a path on the current drive
  const win::ProcessHeapBlock<WCHAR> dos(toDos(path.c_str()));
  if (!dos) return path;
  return com::Narrow(dos.get(), wcslen(dos.get()));
}

std::string ProgramFolder() {
  return fs::path(win::ModuleFileName(nullptr)).parent_path().string();
}

HostProcess::HostProcess(CLI::App& app) {
  // Lines end in "\n" alone, exactly as the Linux build writes them.
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  app.add_subcommand("register",
                     "Register the COM servers beside this program: SyncBolvarin.dll (the "
                     "conduit) and BolvarinStandIn.dll (the handheld stand-in), as regsvr32 does")
      ->callback([] { RegisterServers(true); });
  app.add_subcommand("unregister",
                     "Unregister the COM servers beside this program, as regsvr32 /u does")
      ->callback([] { RegisterServers(false); });
}

HostProcess::~HostProcess() {
  if (initialised_) CoUninitialize();
}

}  // namespace bolvarin::host
