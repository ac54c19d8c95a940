// The server module: its handle, its object and lock counts.
#pragma once

#include <windows.h>

#include <string>

namespace bolvarin::com {

HINSTANCE ModuleHandle();
// The full path of this DLL.
std::string ModulePath();

}  // namespace bolvarin::com
