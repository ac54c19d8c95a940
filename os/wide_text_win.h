// Windows-only: text between a code page and UTF-16, and the file names of
// loaded modules. Every Windows file of the tree converts through these.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace bolvarin::win {

// `text` in `codePage` (CP_ACP, CP_UTF8...) as UTF-16.
std::wstring ToWide(std::string_view text, UINT codePage);
// UTF-16 in `codePage`. With `strict`, text that is not valid UTF-16 raises
// an invalid-argument ConduitError naming `what` instead of being replaced
// (CP_UTF8 only).
std::string FromWide(std::wstring_view text, UINT codePage, bool strict = false,
                     const char* what = "text");

// The full path of a loaded module (nullptr: the program), in the ANSI code
// page or in UTF-16, however long it is.
std::string ModuleFileName(HMODULE module);
std::wstring ModuleFileNameWide(HMODULE module);
// The file name of a loaded module without its folder and extension, in the
// ANSI code page: "SyncBolvarin" for ...\SyncBolvarin.dll.
std::string ModuleStem(HMODULE module);

}  // namespace bolvarin::win
