// Desktop files on POSIX systems: reading them, removing them to the user's
// trash or for good, and replacing them so that the name always holds either
// the old or the new complete file.
//
// The trash is the per-user "home trash" that desktop file managers share:
// $XDG_DATA_HOME/Trash (by default ~/.local/share/Trash) with a files/ folder
// holding the removed files and an info/ folder holding, for each, a
// NAME.trashinfo that records where it came from and when it was removed.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "os/files.h"
#include "os/temp_names.h"

namespace bolvarin {

namespace {

long long g_failReplaceAfter = -1;  // FailNextReplaceAfterForTesting

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Reason(int error) { return std::strerror(error); }

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result of close(), for callers that must know
  // whether buffered data reached the disk.
  int Close() {
    int rc = 0;
    if (fd_ >= 0) rc = close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

int OpenRetry(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Writes all of `data`; false with errno set on failure.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FsyncRetry(int fd) {
  int rc;
  do {
    rc = fsync(fd);
  } while (rc < 0 && errno == EINTR);
  return rc == 0;
}

// Makes the latest renames and creations in `folder` durable. Some file
// systems cannot sync a folder; that is no reason to fail.
void SyncFolder(const std::string& folder) {
  Fd fd(OpenRetry(folder.c_str(), O_RDONLY | O_DIRECTORY));
  if (fd.get() >= 0) FsyncRetry(fd.get());
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates `path` and its missing parents with mode 0700.
bool MakeFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return true;
  const std::string parent = FolderOf(path);
  if (parent != path && !MakeFolders(parent)) return false;
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return IsFolder(path);
  return false;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* pw = getpwuid(getuid());
  if (pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return {};
}

// The user's trash folder, or the empty text when the user has no home.
std::string TrashFolder() {
  // A relative XDG_DATA_HOME is invalid and ignored, as for every XDG variable.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/Trash";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + "/.local/share/Trash";
}

// The absolute path of `path`, with the folder part resolved so that the
// trash records where the file really was.
bool AbsolutePath(const std::string& path, std::string& absolute) {
  char* folder = realpath(FolderOf(path).c_str(), nullptr);
  if (folder == nullptr) return false;
  absolute = folder;
  std::free(folder);
  if (absolute != "/") absolute += '/';
  absolute += NameOf(path);
  return true;
}

// Escapes a path for the Path= line of a .trashinfo: bytes other than
// unreserved URL characters and "/" become %XX.
std::string EscapeTrashPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The name a file takes in the trash at the `attempt`th try: the original
// name first, then a number before the extension ("ledger.2.txt") or at the
// end when there is none ("ledger.2", ".profile.2").
std::string TrashName(const std::string& name, int attempt) {
  if (attempt == 1) return name;
  const std::string number = std::to_string(attempt);
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return name + "." + number;
  return name.substr(0, dot) + "." + number + name.substr(dot);
}

// Copies the regular file `from` to the new file `to` (which must not exist),
// with the same permission bits, and syncs it. Returns 0 or the reason of the
// failure; on failure nothing of `to` is left behind.
int CopyFileContents(const std::string& from, const std::string& to) {
  Fd in(OpenRetry(from.c_str(), O_RDONLY));
  struct stat st;
  if (in.get() < 0 || fstat(in.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  Fd out(OpenRetry(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, st.st_mode & 07777));
  if (out.get() < 0) return errno;
  int error = 0;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    if (!WriteAll(out.get(), buffer, static_cast<size_t>(n))) {
      error = errno;
      break;
    }
  }
  if (error == 0 && !FsyncRetry(out.get())) error = errno;
  if (out.Close() != 0 && error == 0) error = errno;
  if (error != 0) unlink(to.c_str());
  return error;
}

enum class TrashMode { kMove, kCopy };

// Puts the regular file `path` into the trash, moved or copied. Returns 0,
// or the reason of the failure (an errno value), in which case the file is
// where it was and nothing of it is left in the trash.
int PutInTrash(const std::string& path, TrashMode mode) {
  const std::string trash = TrashFolder();
  if (trash.empty()) return ENOENT;
  const std::string filesDir = trash + "/files", infoDir = trash + "/info";
  if (!MakeFolders(filesDir) || !MakeFolders(infoDir)) return errno != 0 ? errno : EIO;

  std::string absolute;
  if (!AbsolutePath(path, absolute)) return errno;
  const std::string info = "[Trash Info]\nPath=" + EscapeTrashPath(absolute) +
                           "\nDeletionDate=" + LocalTimestamp() + "\n";

  // Claim a name by creating its .trashinfo exclusively, so that two programs
  // trashing at the same moment never take the same name.
  const std::string name = NameOf(path);
  for (int attempt = 1; attempt <= 10000; ++attempt) {
    const std::string candidate = TrashName(name, attempt);
    const std::string infoPath = infoDir + "/" + candidate + ".trashinfo";
    const std::string target = filesDir + "/" + candidate;
    Fd fd(OpenRetry(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (fd.get() < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    struct stat st;
    if (lstat(target.c_str(), &st) == 0) {  // a file without its info: leave it be
      fd.Close();
      unlink(infoPath.c_str());
      continue;
    }
    int error = 0;
    if (!WriteAll(fd.get(), info.data(), info.size()) || !FsyncRetry(fd.get())) error = errno;
    if (fd.Close() != 0 && error == 0) error = errno;
    if (error == 0) {
      if (mode == TrashMode::kCopy) {
        error = CopyFileContents(path, target);
      } else if (rename(path.c_str(), target.c_str()) != 0) {
        // Another file system: copy across, then remove the original.
        error = errno == EXDEV ? CopyFileContents(path, target) : errno;
        if (error == 0 && unlink(path.c_str()) != 0) {
          error = errno;
          unlink(target.c_str());
        }
      }
    }
    if (error != 0) {
      unlink(infoPath.c_str());
      return error;
    }
    SyncFolder(filesDir);
    SyncFolder(infoDir);
    return 0;
  }
  return EEXIST;
}

[[noreturn]] void RaiseWrite(int32_t number, const std::string& path, const std::string& what,
                             int error) {
  Raise(number, "Cannot write " + Quoted(path) + ": " + what + Reason(error));
}

}  // namespace

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  Fd fd(OpenRetry(path.c_str(), O_RDONLY));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) {
    Raise(err::kFileIo, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  if (S_ISDIR(st.st_mode)) {
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": it is a folder");
  }
  std::string data;
  if (S_ISREG(st.st_mode) && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      Raise(err::kFileIo, "Cannot read " + Quoted(path) + ": " + Reason(errno));
    }
    if (n == 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  contents = std::move(data);
  return true;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const std::string exact = folder.empty() ? name : JoinDesktopPath(folder, name);
  if (IsRegularFile(exact)) return exact;

  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return {};
  const std::string wanted = UpperAscii(name);
  // Of several names that differ only in case, take the lowest in byte
  // order, so that the answer does not depend on the order of the folder.
  std::string best;
  while (const dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (UpperAscii(candidate) != wanted) continue;
    const std::string full = folder.empty() ? candidate : JoinDesktopPath(folder, candidate);
    if (!IsRegularFile(full)) continue;
    if (best.empty() || candidate < best) best = candidate;
  }
  closedir(dir);
  if (best.empty()) return {};
  return folder.empty() ? best : JoinDesktopPath(folder, best);
}

void RemoveFile(const std::string& filePath, bool permanent) {
  if (TrimBlanks(filePath).empty()) return;
  // Only regular files are removed; a folder, a device or a missing name is
  // left alone. A symbolic link to a regular file removes the link itself.
  if (!IsRegularFile(filePath)) return;
  try {
    if (permanent) {
      unlink(filePath.c_str());
    } else {
      PutInTrash(filePath, TrashMode::kMove);  // on failure the file stays
    }
  } catch (const std::exception&) {
    // Removal never fails outward; the file simply stays where it was.
  }
}

void ReplaceFile(const std::string& path, std::string_view contents, bool permanent) {
  const long long failAfter = std::exchange(g_failReplaceAfter, -1);
  if (TrimBlanks(path).empty()) Raise(err::kPathAccess, "Cannot write a file: the path is empty");

  // Through a symbolic link, the file it points to is replaced and the link
  // stays.
  std::string target = path;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  bool oldExists = false;
  mode_t newMode;
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode))
      Raise(err::kPathAccess, "Cannot write " + Quoted(path) + ": it is a folder");
    oldExists = S_ISREG(st.st_mode);
    newMode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    newMode = 0666 & ~mask;
  }

  const std::string folder = FolderOf(target);
  std::string temp = folder + "/" + TemporaryNamePattern(NameOf(target));
  Fd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) RaiseWrite(err::kPathAccess, path, "", errno);

  int error = 0;
  const char* what = "";
  int32_t number = err::kFileIo;
  if (failAfter >= 0) {
    const size_t written = std::min(contents.size(), static_cast<size_t>(failAfter));
    WriteAll(fd.get(), contents.data(), written);
    error = ENOSPC;
  } else if (!WriteAll(fd.get(), contents.data(), contents.size())) {
    error = errno;
  } else if (fchmod(fd.get(), newMode) != 0) {
    error = errno;
  } else if (!FsyncRetry(fd.get())) {
    error = errno;
  }
  if (fd.Close() != 0 && error == 0) error = errno;
  if (error == 0 && oldExists && !permanent) {
    // The old version is to go to the trash. When that cannot be done the
    // file is not replaced, rather than lose the old version.
    error = PutInTrash(target, TrashMode::kCopy);
    if (error != 0) {
      what = "the old file could not be put in the trash, so it was left as it was: ";
      number = err::kPathAccess;
    }
  }
  if (error == 0 && rename(temp.c_str(), target.c_str()) != 0) {
    error = errno;
    number = err::kPathAccess;
  }
  if (error != 0) {
    unlink(temp.c_str());
    RaiseWrite(number, path, what, error);
  }
  SyncFolder(folder);
}

void FailNextReplaceAfterForTesting(long long bytes) { g_failReplaceAfter = bytes; }

}  // namespace bolvarin
