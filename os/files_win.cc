// Desktop files on Windows: reading them, removing them to the recycle bin or
// for good through the shell, and replacing them so that a failure never
// costs the old file.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
// windows.h maps ReplaceFile onto the system's ReplaceFileA; here it is the
// conduit's own function of os/files.h.
#undef ReplaceFile

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "os/files.h"
#include "os/win_handles_win.h"

namespace bolvarin {

namespace {

long long g_failReplaceAfter = -1;  // FailNextReplaceAfterForTesting
std::string g_failReplaceOnly;      // ... of this path only, when not empty

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The full path of `path`; the shell needs one to put a file in the recycle
// bin (with a relative path it deletes the file for good).
std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return path;
  return std::string(buffer, n);
}

// The folder part of `path` with its final separator, or the empty text for
// a bare name (the current folder), so that folder + name is a path.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Hands one file to the shell's delete operation: to the recycle bin unless
// `permanent`. No confirmation, no progress and no error window: a run must
// never stop on a dialog.
void ShellDelete(const std::string& path, bool permanent) {
  std::string from = FullPath(path);
  from.append(2, '\0');  // a list of one name, ended by two zero bytes
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  if (!permanent) op.fFlags |= FOF_ALLOWUNDO;
  SHFileOperationA(&op);
}

// A name that does not exist yet in `folder`, beside the file `name`.
std::string TemporaryName(const std::string& folder, const std::string& name, const char* tag) {
  for (unsigned attempt = 0;; ++attempt) {
    const std::string candidate = folder + "." + name + "." + tag +
                                  std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount() + attempt);
    if (!Exists(candidate)) return candidate;
  }
}

// Writes `contents` to the new file `path` and flushes it to the disk.
// Returns 0 or the Win32 error; on failure the file is removed again.
DWORD WriteNewFile(const std::string& path, std::string_view contents, long long failAfter) {
  win::Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError();
  DWORD error = 0;
  size_t size = contents.size();
  if (failAfter >= 0) size = std::min(size, static_cast<size_t>(failAfter));
  const char* data = contents.data();
  while (size > 0 && error == 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), data, chunk, &written, nullptr)) error = GetLastError();
    data += written;
    size -= written;
  }
  if (error == 0 && failAfter >= 0) error = ERROR_DISK_FULL;
  if (error == 0 && !FlushFileBuffers(file.get())) error = GetLastError();
  if (!file.Reset() && error == 0) error = GetLastError();
  if (error != 0) DeleteFileA(path.c_str());
  return error;
}

[[noreturn]] void RaiseWrite(int32_t number, const std::string& path, const std::string& what,
                             DWORD error) {
  Raise(number, "Cannot write " + Quoted(path) + ": " + what + win::ErrorMessage(error));
}

}  // namespace

bool IsRegularFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  if (IsFolder(path)) Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": it is a folder");
  win::Handle file(CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + win::ErrorMessage(error));
  }
  std::string data;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0)
    data.reserve(static_cast<size_t>(size.QuadPart));
  char buffer[64 * 1024];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      Raise(err::kFileIo, "Cannot read " + Quoted(path) + ": " + win::ErrorMessage(GetLastError()));
    }
    if (n == 0) break;
    data.append(buffer, n);
  }
  contents = std::move(data);
  return true;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  if (name.empty() || name.find_first_of("\\/*?") != std::string::npos) return {};
  const std::string exact = folder.empty() ? name : JoinDesktopPath(folder, name);
  if (IsRegularFile(exact)) return exact;

  // File systems are usually case-blind on Windows already; a folder that is
  // not is searched entry by entry.
  const std::string pattern = folder.empty() ? "*" : JoinDesktopPath(folder, "*");
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return {};
  const std::string wanted = UpperAscii(name);
  std::string best;
  do {
    const std::string candidate = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (UpperAscii(candidate) != wanted) continue;
    if (best.empty() || candidate < best) best = candidate;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  if (best.empty()) return {};
  return folder.empty() ? best : JoinDesktopPath(folder, best);
}

void RemoveFile(const std::string& filePath, bool permanent) {
  if (TrimBlanks(filePath).empty()) return;
  // Only files are removed; a folder or a missing name is left alone.
  if (!IsRegularFile(filePath)) return;
  ShellDelete(filePath, permanent);  // a file that cannot be removed simply stays
}

void ReplaceFile(const std::string& path, std::string_view contents, bool permanent) {
  const long long failAfter = g_failReplaceOnly.empty() || g_failReplaceOnly == path
                                  ? std::exchange(g_failReplaceAfter, -1)
                                  : -1;
  if (TrimBlanks(path).empty()) Raise(err::kPathAccess, "Cannot write a file: the path is empty");
  if (IsFolder(path)) Raise(err::kPathAccess, "Cannot write " + Quoted(path) + ": it is a folder");

  const std::string folder = FolderOf(path), name = NameOf(path);
  const bool oldExists = IsRegularFile(path);

  // 1. The new version, complete and flushed, under a temporary name.
  const std::string fresh = TemporaryName(folder, name, "new");
  if (DWORD error = WriteNewFile(fresh, contents, failAfter)) {
    RaiseWrite(err::kFileIo, path, "", error);
  }

  // 2. Deleting for good needs no extra step: the rename below replaces the
  // old file in one move. For the recycle bin, the old file itself must go
  // there under its own name, so a private copy keeps its contents until the
  // new version has the name.
  std::string keep;
  if (oldExists && !permanent) {
    keep = TemporaryName(folder, name, "old");
    if (!CopyFileA(path.c_str(), keep.c_str(), TRUE)) {
      const DWORD error = GetLastError();
      DeleteFileA(fresh.c_str());
      RaiseWrite(err::kPathAccess, path,
                 "the old file could not be kept, so it was left as it was: ", error);
    }
    ShellDelete(path, false);
    if (Exists(path)) {
      DeleteFileA(fresh.c_str());
      DeleteFileA(keep.c_str());
      Raise(err::kPathAccess, "Cannot write " + Quoted(path) +
                                  ": the old file could not be put in the recycle bin, so it "
                                  "was left as it was");
    }
  }

  // 3. The new version takes the name.
  if (!MoveFileExA(fresh.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileA(fresh.c_str());
    // Put the old contents back under the name rather than leave it empty.
    if (!keep.empty()) MoveFileExA(keep.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    RaiseWrite(err::kPathAccess, path, "", error);
  }
  if (!keep.empty()) DeleteFileA(keep.c_str());
}

std::string WhyCannotReplace(const std::string& path, bool permanent) {
  if (TrimBlanks(path).empty()) return "the path is empty";
  unsigned long long oldSize = 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return Quoted(path) + " is a folder";
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return Quoted(path) + " is a device";
    oldSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  } else if (const DWORD error = GetLastError();
             error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    return win::ErrorMessage(error);
  }

  const std::string folder = FolderOf(path);
  if (!IsFolder(folder.empty() ? "." : folder)) {
    return "the folder " + Quoted(folder) + " does not exist";
  }
  // The folder must really take a new file: try one, gone again on closing.
  const std::string probe = TemporaryName(folder, NameOf(path), "probe");
  win::Handle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.valid()) {
    return "no file can be created in the folder " + Quoted(folder) + ": " +
           win::ErrorMessage(GetLastError());
  }
  file.Reset();

  // The new file is taken to be about as large as the old one; for the
  // recycle bin the old version's private copy needs as much again.
  ULARGE_INTEGER free{};
  if (GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr)) {
    const unsigned long long need = oldSize * (permanent ? 1 : 2) + 4096;
    if (free.QuadPart < need) {
      return "the disk of " + Quoted(folder) + " has room for " + std::to_string(free.QuadPart) +
             " bytes, about " + std::to_string(need) + " are needed";
    }
  }
  return {};
}

std::string KeepUnsavedCopy(const std::string& path, std::string_view contents) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  wsprintfA(stamp, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
            now.wMinute, now.wSecond);
  const std::string name = NameOf(path) + ".unsaved-" + stamp;
  std::vector<std::string> folders = {FolderOf(path)};
  if (const char* appData = std::getenv("LOCALAPPDATA"); appData != nullptr && appData[0] != 0) {
    folders.push_back(std::string(appData) + "\\syncbolvarin\\unsaved\\");
  }
  char temp[MAX_PATH + 1];
  if (const DWORD n = GetTempPathA(sizeof temp, temp); n > 0 && n < sizeof temp) {
    folders.push_back(temp);
  }

  std::string reasons;
  for (const std::string& folder : folders) {
    DWORD error = 0;
    // The data file's own folder is never made: it is missing when that is
    // what failed.
    if (folder != folders.front() && !IsFolder(folder)) {
      // Makes the folder and its missing parents.
      for (size_t at = folder.find_first_of("\\/", 3); at != std::string::npos;
           at = folder.find_first_of("\\/", at + 1)) {
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
      }
      if (!IsFolder(folder)) error = GetLastError() != 0 ? GetLastError() : ERROR_PATH_NOT_FOUND;
    }
    for (int attempt = 1; error == 0 && attempt <= 100; ++attempt) {
      const std::string copy =
          folder + (attempt == 1 ? name : name + "-" + std::to_string(attempt));
      error = WriteNewFile(copy, contents, -1);
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        error = 0;
        continue;
      }
      if (error == 0) return copy;
    }
    if (error == 0) error = ERROR_FILE_EXISTS;
    reasons += (reasons.empty() ? "" : "; ") + Quoted(folder) + ": " + win::ErrorMessage(error);
  }
  Raise(err::kFileIo, "No copy of what was meant for " + Quoted(path) +
                          " could be kept anywhere (" + reasons + ")");
}

void FailNextReplaceAfterForTesting(long long bytes, const std::string& onlyPath) {
  g_failReplaceAfter = bytes;
  g_failReplaceOnly = onlyPath;
}

}  // namespace bolvarin
