// Small text helpers shared by every layer.
#pragma once

#include <string>
#include <string_view>

namespace bolvarin {

// Removes leading and trailing blanks (the space character only, as the
// settings and category files define "blank").
std::string TrimBlanks(std::string_view text);

// Upper-cases ASCII letters; other bytes are left as they are.
std::string UpperAscii(std::string_view text);

// The full path of a file in a desktop folder: the folder, a separator when
// the folder does not already end with one ("\" or "/"), then the name. The
// separator added is the native one of the build.
std::string JoinDesktopPath(std::string_view folder, std::string_view name);

// Windows-1252 text as UTF-8. The five bytes the code page leaves undefined
// (81, 8D, 8F, 90, 9D) become the control characters of the same number, as
// the system's own conversion makes them, so no byte is lost.
std::string Windows1252ToUtf8(std::string_view text);

// The file name of a path: what follows its last "\" or "/".
std::string_view FileNameOf(std::string_view path);

// The native path separator of the build: '\\' on Windows, '/' elsewhere.
char NativeSeparator();

}  // namespace bolvarin
