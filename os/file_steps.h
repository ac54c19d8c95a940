// The platform's part of FindFileNoCase and KeepUnsavedCopy. os/files.cc
// keeps their rules and order; each system supplies these small steps
// (files_posix.cc, files_win.cc). A step that can fail returns the reason,
// or the empty text on success.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bolvarin::file_steps {

// True when `name` can only name an entry of a folder: it holds no path
// separator (and on Windows no wildcard either).
bool IsBareName(const std::string& name);

// The names of the entries of `folder` (the current folder when empty), in
// the folder's order; none when it cannot be read. Listed by the system's
// own calls rather than std::filesystem, whose narrow names are UTF-8 with
// MinGW, while every other file call of the Windows build takes them in the
// ANSI code page.
std::vector<std::string> FolderEntries(const std::string& folder);

// "NAME.unsaved-YYYYMMDD-HHMMSS": the name of a copy of what was meant for
// `path`, with the local time now.
std::string UnsavedCopyName(const std::string& path);

// The folders a copy of what was meant for `path` may go to, in the order
// they are tried: the folder of `path`, the user's data folder
// (syncbolvarin/unsaved/) when there is one, the temporary folder.
std::vector<std::string> UnsavedCopyFolders(const std::string& path);

// The path of `name` in `folder`, one of UnsavedCopyFolders().
std::string UnsavedCopyPath(const std::string& folder, const std::string& name);

// Makes `folder` and its missing parents, when missing.
std::string MakeUnsavedFolder(const std::string& folder);

// Creates the new file `path` with `contents` and flushes it to the disk.
// Nothing of a failed copy is left behind; `taken` tells whether it failed
// only because the name is taken already.
std::string WriteUnsavedCopy(const std::string& path, std::string_view contents, bool& taken);

}  // namespace bolvarin::file_steps
