// The entry points of SyncBolvarin.dll: class objects, unloading, and
// registration of the CNotify class from one table.
#include "windows/com/module.h"

#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "os/win_handles_win.h"
#include "windows/com/cnotify_com.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_object.h"
#include "windows/com/com_raii.h"
#include "windows/com/syncbolvarin_idl.h"

namespace bolvarin::com {

namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

constexpr char kProgId[] = "SyncBolvarin.CNotify";

std::string GuidText(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return Narrow(text, wcslen(text));
}

// One value under HKEY_CLASSES_ROOT; an empty name is the key's default
// value. Registration writes the rows in order; unregistration deletes their
// keys in the reverse order, so every key goes after the keys below it.
struct RegistryRow {
  std::string key;
  std::string name;
  std::string value;
};

std::vector<RegistryRow> RegistryTable() {
  const std::string clsid = GuidText(CLSID_CNotify);
  const std::string cls = "CLSID\\" + clsid;
  const std::string progId = kProgId;
  return {
      {cls, "", "CNotify"},
      {cls + "\\InprocServer32", "", ModulePath()},
      {cls + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {cls + "\\ProgID", "", progId},
      {cls + "\\TypeLib", "", GuidText(LIBID_SyncBolvarin)},
      {progId, "", "CNotify"},
      {progId + "\\CLSID", "", clsid},
  };
}

HRESULT WriteRow(const RegistryRow& row) {
  win::RegKey key;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, row.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            key.out(), nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExA(key.get(), row.name.empty() ? nullptr : row.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(row.value.c_str()),
                        static_cast<DWORD>(row.value.size() + 1));
  }
  return HRESULT_FROM_WIN32(rc);
}

// Removes every key of the table; keys that are already gone are no failure.
HRESULT RemoveRows() {
  HRESULT result = S_OK;
  const std::vector<RegistryRow> table = RegistryTable();
  for (auto row = table.rbegin(); row != table.rend(); ++row) {
    const LONG rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, row->key.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
  }
  return result;
}

HRESULT RegisterLibrary() {
  ComPtr<ITypeLib> library;
  std::wstring path = Widen(ModulePath());
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
  if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.get(), path.data(), nullptr);
  return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

HRESULT UnregisterLibrary() {
  const HRESULT hr = UnRegisterTypeLib(LIBID_SyncBolvarin, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
  if (SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED) return S_OK;
  return SELFREG_E_TYPELIB;
}

// The class object of CNotify. Each one handed out counts as an object.
class ClassFactory : public ComObject<IClassFactory> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateNotifyObject(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else if (g_locks > 0) {
      --g_locks;
    }
    return S_OK;
  }

 private:
  void* Interface(REFIID iid) override {
    return iid == IID_IClassFactory ? static_cast<IClassFactory*>(this) : nullptr;
  }
};

}  // namespace

HINSTANCE ModuleHandle() { return g_module; }

std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }

}  // namespace bolvarin::com

using namespace bolvarin::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_CNotify) return CLASS_E_CLASSNOTAVAILABLE;
  auto factory = ComPtr<ClassFactory>::Adopt(new (std::nothrow) ClassFactory());
  if (!factory) return E_OUTOFMEMORY;
  return factory->QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  for (const RegistryRow& row : RegistryTable()) {
    if (FAILED(WriteRow(row))) {
      RemoveRows();
      return SELFREG_E_CLASS;
    }
  }
  const HRESULT hr = RegisterLibrary();
  if (FAILED(hr)) RemoveRows();
  return hr;
}

STDAPI DllUnregisterServer() {
  const HRESULT library = UnregisterLibrary();
  const HRESULT rows = RemoveRows();
  return FAILED(rows) ? rows : library;
}
