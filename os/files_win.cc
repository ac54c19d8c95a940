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
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "os/file_steps.h"
#include "os/files.h"
#include "os/replace_steps.h"
#include "os/temp_names.h"
#include "os/win_handles_win.h"

namespace bolvarin {

namespace {

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

// Creates a new file beside `target` under a temporary name of its own
// (".NAME.syncbolvarin-XXXXXX"), exclusively, with `flags`. Returns the
// handle, invalid with GetLastError() set on failure, and the name in `path`.
HANDLE CreateTemporaryBeside(const std::string& target, DWORD flags, std::string& path) {
  static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  static unsigned long long counter = 0;
  const std::string pattern = FolderOf(target) + TemporaryNamePattern(NameOf(target));
  const size_t xs = pattern.size() - 6;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                              GetTickCount64() ^ (++counter * 0x9E3779B97F4A7C15ull);
    path = pattern;
    for (size_t i = xs; i < path.size(); ++i) {
      path[i] = kChars[seed % 62];
      seed /= 62;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

// Writes all of `contents` to `file`; 0 or the Win32 error.
DWORD WriteAll(HANDLE file, std::string_view contents) {
  const char* data = contents.data();
  size_t size = contents.size();
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr)) return GetLastError();
    data += written;
    size -= written;
  }
  return 0;
}

// Writes `contents` to the new file `path` and flushes it to the disk.
// Returns 0 or the Win32 error; on failure the file is removed again.
DWORD WriteNewFile(const std::string& path, std::string_view contents) {
  win::Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError();
  DWORD error = WriteAll(file.get(), contents);
  if (error == 0 && !FlushFileBuffers(file.get())) error = GetLastError();
  if (!file.Reset() && error == 0) error = GetLastError();
  if (error != 0) DeleteFileA(path.c_str());
  return error;
}

// Hidden and system files are not the desktop files the conduit writes: a
// listing of ordinary files does not show them, so they are never removed,
// and a file of that name is not replaced either.
constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr char kNotOrdinaryReason[] = "it is a hidden or system file, which is never replaced";

replace_steps::StepFailure Failed(int32_t number, DWORD error, const std::string& what = {}) {
  return {number, what + win::ErrorMessage(error)};
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

void AppendToFile(const std::string& path, std::string_view text) {
  win::Handle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = file.valid() ? WriteAll(file.get(), text) : GetLastError();
  if (error != 0)
    Raise(err::kFileIo, "Cannot add to " + Quoted(path) + ": " + win::ErrorMessage(error));
}

void RemoveFile(const std::string& filePath, bool permanent) {
  if (TrimBlanks(filePath).empty()) return;
  // Only ordinary files are removed; a folder, a hidden or system file or a
  // missing name is left alone.
  if (!IsRegularFile(filePath) || (GetFileAttributesA(filePath.c_str()) & kNotOrdinary) != 0) {
    return;
  }
  ShellDelete(filePath, permanent);  // a file that cannot be removed simply stays
}

namespace replace_steps {

namespace {

class WinNewFile : public NewFile {
 public:
  WinNewFile(std::string path, HANDLE file) : file_(file) { path_ = std::move(path); }
  StepFailure Write(std::string_view data) override {
    if (DWORD error = WriteAll(file_.get(), data)) return Failed(err::kFileIo, error);
    return {};
  }
  StepFailure Finish() override {
    DWORD error = 0;
    if (!FlushFileBuffers(file_.get())) error = GetLastError();
    if (!file_.Reset() && error == 0) error = GetLastError();
    if (error != 0) return Failed(err::kFileIo, error);
    return {};
  }
  void Remove() override {
    file_.Reset();
    DeleteFileA(path_.c_str());
  }

 private:
  win::Handle file_;
};

}  // namespace

StepFailure FindTarget(const std::string& path, std::string& target, bool& exists) {
  target = path;
  exists = false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {err::kPathAccess, "it is a folder"};
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    return {err::kPathAccess, "it is a device, not a regular file; it is left as it is"};
  }
  if ((attributes & kNotOrdinary) != 0) {
    return {err::kPathAccess, std::string(kNotOrdinaryReason) + "; it is left as it is"};
  }
  exists = true;
  return {};
}

std::unique_ptr<NewFile> CreateNewFile(const std::string& target, StepFailure& failure) {
  std::string path;
  HANDLE file = CreateTemporaryBeside(target, FILE_ATTRIBUTE_NORMAL, path);
  if (file == INVALID_HANDLE_VALUE) {
    failure = Failed(err::kPathAccess, GetLastError());
    return nullptr;
  }
  return std::make_unique<WinNewFile>(std::move(path), file);
}

StepFailure DiskFull() { return Failed(err::kFileIo, ERROR_DISK_FULL); }

StepFailure TrashOldVersion(const std::string& target, std::string& keep) {
  // The old file itself must go to the recycle bin under its own name, so a
  // private copy keeps its contents until the new version has the name.
  {
    win::Handle reserved(CreateTemporaryBeside(target, FILE_ATTRIBUTE_NORMAL, keep));
    if (!reserved.valid()) {
      const DWORD error = GetLastError();
      keep.clear();
      return Failed(err::kPathAccess, error,
                    "the old file could not be kept, so it was left as it was: ");
    }
  }
  if (!CopyFileA(target.c_str(), keep.c_str(), FALSE)) {
    const DWORD error = GetLastError();
    DeleteFileA(keep.c_str());
    keep.clear();
    return Failed(err::kPathAccess, error,
                  "the old file could not be kept, so it was left as it was: ");
  }
  ShellDelete(target, false);
  if (Exists(target)) {
    DeleteFileA(keep.c_str());
    keep.clear();
    return {err::kPathAccess,
            "the old file could not be put in the recycle bin, so it was left as it was"};
  }
  return {};
}

StepFailure RenameOver(const std::string& from, const std::string& target,
                       const std::string& keep) {
  if (MoveFileExA(from.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  const DWORD error = GetLastError();
  // Put the old contents back under the name rather than leave it empty.
  if (!keep.empty()) MoveFileExA(keep.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  return Failed(err::kPathAccess, error);
}

void Finished(const std::string&, const std::string& keep) {
  if (!keep.empty()) DeleteFileA(keep.c_str());
}

}  // namespace replace_steps

std::string WhyCannotReplace(const std::string& path, bool permanent) {
  if (TrimBlanks(path).empty()) return "the path is empty";
  unsigned long long oldSize = 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return "it is a folder";  // the same words as the POSIX build's
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0)
      return "it is a device, not a regular file";
    if ((data.dwFileAttributes & kNotOrdinary) != 0) return kNotOrdinaryReason;
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
  std::string probe;
  win::Handle file(
      CreateTemporaryBeside(path, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, probe));
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

namespace file_steps {

bool IsBareName(const std::string& name) {
  return name.find_first_of("\\/*?") == std::string::npos;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  const std::string pattern = folder.empty() ? "*" : JoinDesktopPath(folder, "*");
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return names;
}

std::string UnsavedCopyName(const std::string& path) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  wsprintfA(stamp, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
            now.wMinute, now.wSecond);
  return NameOf(path) + ".unsaved-" + stamp;
}

std::vector<std::string> UnsavedCopyFolders(const std::string& path) {
  std::vector<std::string> folders = {FolderOf(path)};
  if (const char* appData = std::getenv("LOCALAPPDATA"); appData != nullptr && appData[0] != 0) {
    folders.push_back(std::string(appData) + "\\syncbolvarin\\unsaved\\");
  }
  char temp[MAX_PATH + 1];
  if (const DWORD n = GetTempPathA(sizeof temp, temp); n > 0 && n < sizeof temp) {
    folders.push_back(temp);
  }
  return folders;
}

// The folders end with their separator, or are empty for the current folder.
std::string UnsavedCopyPath(const std::string& folder, const std::string& name) {
  return folder + name;
}

std::string MakeUnsavedFolder(const std::string& folder) {
  if (IsFolder(folder)) return {};
  for (size_t at = folder.find_first_of("\\/", 3); at != std::string::npos;
       at = folder.find_first_of("\\/", at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
  }
  if (IsFolder(folder)) return {};
  return win::ErrorMessage(GetLastError() != 0 ? GetLastError() : ERROR_PATH_NOT_FOUND);
}

std::string WriteUnsavedCopy(const std::string& path, std::string_view contents, bool& taken) {
  const DWORD error = WriteNewFile(path, contents);
  taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  if (taken) return win::ErrorMessage(ERROR_FILE_EXISTS);
  return error != 0 ? win::ErrorMessage(error) : std::string();
}

}  // namespace file_steps

}  // namespace bolvarin
