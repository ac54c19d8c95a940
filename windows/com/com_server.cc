#include "windows/com/com_server.h"

#include <olectl.h>

#include <atomic>
#include <new>
#include <vector>

#include "os/wide_text_win.h"
#include "os/win_handles_win.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_object.h"
#include "windows/com/com_raii.h"

namespace bolvarin::com {

namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// The class object of one class. Each one handed out counts as an object.
class ClassFactory : public ComObject<IClassFactory> {
 public:
  explicit ClassFactory(CreateFunction create) : create_(create) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(iid, out);
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

  CreateFunction create_;
};

// One value under HKEY_CLASSES_ROOT; an empty name is the key's default
// value. Registration writes the rows in order; unregistration deletes their
// keys in the reverse order, so every key goes after the keys below it.
struct RegistryRow {
  std::string key;
  std::string name;
  std::string value;
};

// True when the class's ProgID is free or already names this class. A
// value that cannot be read counts as another server's.
bool OwnsProgId(const ServerClass& cls) {
  const std::string key = std::string(cls.progId) + "\\CLSID";
  char value[64];
  DWORD size = sizeof value;
  const LONG rc =
      RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  return rc == ERROR_SUCCESS && _stricmp(value, GuidText(*cls.clsid).c_str()) == 0;
}

// On a 64-bit Windows the 32-bit and the 64-bit build of a server register
// their classes in two registry views, side by side, while ProgIDs are
// shared by both views. The view that is not this process's own, or 0 on a
// 32-bit Windows, which has one view only.
REGSAM OtherView() {
  if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

// True when the other view registers the class too: the other build of this
// server still needs the shared ProgID.
bool OtherViewHasClass(const ServerClass& cls) {
  const REGSAM view = OtherView();
  if (view == 0) return false;
  const std::string key = "Software\\Classes\\CLSID\\" + GuidText(*cls.clsid) + "\\InprocServer32";
  win::RegKey found;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, found.out()) ==
         ERROR_SUCCESS;
}

enum class Purpose { kRegister, kUnregister };

// The rows of the classes; a ProgID of another server is left out, and so,
// when unregistering, is a ProgID that the other view's build still uses.
std::vector<RegistryRow> RegistryTable(std::span<const ServerClass> classes, Purpose purpose) {
  const std::string path = ModulePath();
  std::vector<RegistryRow> rows;
  for (const ServerClass& c : classes) {
    const std::string clsid = GuidText(*c.clsid);
    const std::string key = "CLSID\\" + clsid;
    const std::string progId = c.progId;
    rows.push_back({key, "", c.name});
    rows.push_back({key + "\\InprocServer32", "", path});
    rows.push_back({key + "\\InprocServer32", "ThreadingModel", "Apartment"});
    rows.push_back({key + "\\ProgID", "", progId});
    if (c.typeLibrary != nullptr) rows.push_back({key + "\\TypeLib", "", GuidText(*c.typeLibrary)});
    if (OwnsProgId(c) && !(purpose == Purpose::kUnregister && OtherViewHasClass(c))) {
      rows.push_back({progId, "", c.name});
      rows.push_back({progId + "\\CLSID", "", clsid});
    }
  }
  return rows;
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

}  // namespace

void SetModuleHandle(HINSTANCE module) { g_module = module; }

HINSTANCE ModuleHandle() { return g_module; }

std::string ModulePath() { return win::ModuleFileName(g_module); }

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
HRESULT CanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

HRESULT GetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid,
                       void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (const ServerClass& c : classes) {
    if (clsid != *c.clsid) continue;
    return HandOut(MakeObject<ClassFactory>(c.create), iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterClasses(std::span<const ServerClass> classes) {
  for (const ServerClass& c : classes) {
    if (!OwnsProgId(c)) return SELFREG_E_CLASS;
  }
  for (const RegistryRow& row : RegistryTable(classes, Purpose::kRegister)) {
    if (FAILED(WriteRow(row))) {
      UnregisterClasses(classes);
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

HRESULT UnregisterClasses(std::span<const ServerClass> classes) {
  HRESULT result = S_OK;
  const std::vector<RegistryRow> table = RegistryTable(classes, Purpose::kUnregister);
  for (auto row = table.rbegin(); row != table.rend(); ++row) {
    const LONG rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, row->key.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
  }
  return result;
}

std::string GuidText(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return Narrow(text, wcslen(text));
}

}  // namespace bolvarin::com
