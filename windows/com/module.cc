// The entry points of SyncBolvarin.dll: class objects, unloading, and
// registration of the CNotify class and its type library.
#include <olectl.h>
#include <windows.h>

#include <string>

#include "conduit/conduit_info.h"
#include "os/wide_text_win.h"
#include "windows/com/cnotify_com.h"
#include "windows/com/com_glue.h"
#include "windows/com/com_raii.h"
#include "windows/com/com_server.h"
#include "windows/com/syncbolvarin_idl.h"

namespace bolvarin::com {

namespace {

const ServerClass kClasses[] = {
    {&CLSID_CNotify, "SyncBolvarin.CNotify", "CNotify", CreateNotifyObject, &LIBID_SyncBolvarin},
};

// The type library embedded in this DLL is of the build's own kind.
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT RegisterLibrary() {
  ComPtr<ITypeLib> library;
  std::wstring path = Widen(ModulePath());
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Out());
  if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.get(), path.data(), nullptr);
  return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

// A library that is not registered is no failure: unregistering twice, or
// after a registration that failed part-way, succeeds.
HRESULT UnregisterLibrary() {
  Bstr path;
  if (FAILED(QueryPathOfRegTypeLib(LIBID_SyncBolvarin, 1, 0, LOCALE_NEUTRAL, path.Out()))) {
    return S_OK;
  }
  const HRESULT hr = UnRegisterTypeLib(LIBID_SyncBolvarin, 1, 0, LOCALE_NEUTRAL, kSysKind);
  if (SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED) return S_OK;
  return SELFREG_E_TYPELIB;
}

}  // namespace

}  // namespace bolvarin::com

using namespace bolvarin::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleHandle(instance);
    DisableThreadLibraryCalls(instance);
    // The log lines and GetConduitInfo name the conduit after this file.
    bolvarin::SetExeName(bolvarin::win::ModuleStem(instance));
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return GetClassObject(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return CanUnloadNow(); }

STDAPI DllRegisterServer() {
  HRESULT hr = RegisterClasses(kClasses);
  if (FAILED(hr)) return hr;
  hr = RegisterLibrary();
  if (FAILED(hr)) UnregisterClasses(kClasses);
  return hr;
}

STDAPI DllUnregisterServer() {
  const HRESULT library = UnregisterLibrary();
  const HRESULT classes = UnregisterClasses(kClasses);
  return FAILED(classes) ? classes : library;
}
