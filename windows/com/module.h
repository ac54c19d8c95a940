// The server module: its handle, its object and lock counts.
#pragma once

#include <windows.h>

#include <string>

namespace bolvarin::com {

HINSTANCE ModuleHandle();
// The full path of this DLL.
std::string ModulePath();

// Every live COM object of the server counts itself, so that DllCanUnloadNow
// answers honestly.
void ObjectCreated();
void ObjectDestroyed();

}  // namespace bolvarin::com
