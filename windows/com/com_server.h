// What every in-process COM server DLL of the Windows build needs besides its
// classes: its module handle, honest object and lock counts, class objects,
// and registration of its classes from one table.
//
// This code lives in a static library, so each DLL that links it has its own
// module handle and its own counts.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace bolvarin::com {

// DllMain hands the module handle over on DLL_PROCESS_ATTACH.
void SetModuleHandle(HINSTANCE module);
HINSTANCE ModuleHandle();
// The full path of this DLL.
std::string ModulePath();

// The server may unload when no object is alive (each ComObject counts
// itself, class objects included) and no IClassFactory::LockServer lock is
// held.
HRESULT CanUnloadNow();

// Creates an object of a class and returns its interface `iid` in `out`.
using CreateFunction = HRESULT (*)(REFIID iid, void** out);

// One creatable class of the server.
struct ServerClass {
  const CLSID* clsid;
  const char* progId;
  const char* name;  // the default value of its class and ProgID keys
  CreateFunction create;
  const GUID* typeLibrary = nullptr;  // named under the class key when set
};

// DllGetClassObject over the server's classes.
HRESULT GetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid,
                       void** out);

// Writes, under HKEY_CLASSES_ROOT, each class's key (with InprocServer32
// naming this DLL, ThreadingModel "Apartment", its ProgID and type library)
// and its ProgID key. A ProgID that already names another class belongs to
// another server: registration then writes nothing and fails.
HRESULT RegisterClasses(std::span<const ServerClass> classes);
// Removes exactly the keys that RegisterClasses writes, leaving alone a
// ProgID that names another class by now, and a ProgID that the other
// registry view (the server's other build, on a 64-bit Windows) still
// registers its class for. Keys already gone are no failure.
HRESULT UnregisterClasses(std::span<const ServerClass> classes);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::string GuidText(REFGUID guid);

}  // namespace bolvarin::com
