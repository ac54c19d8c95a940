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
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/hex.h"
#include "base/text.h"
#include "os/fd_posix.h"
#include "os/file_steps.h"
#include "os/files.h"
#include "os/home_posix.h"
#include "os/replace_steps.h"
#include "os/temp_names.h"

namespace bolvarin {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Reason(int error) { return std::strerror(error); }

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

// What a file that is not a regular file is, for messages.
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "not a regular file";
}

// The text a symbolic link holds, or the empty text when `path` is none.
std::string LinkText(const std::string& path) {
  std::string text(256, '\0');
  for (;;) {
    ssize_t n = readlink(path.c_str(), text.data(), text.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < text.size()) {
      text.resize(static_cast<size_t>(n));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

// Follows symbolic links from `path` to the name that really holds the
// file; a relative link is read from the link's own folder, and a dangling
// link gives the name it points to. Returns 0, or ELOOP for a chain of links
// that does not end.
int ResolveLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    const std::string link = LinkText(target);
    if (link.empty()) return errno != 0 ? errno : ENOENT;
    target = link[0] == '/' ? link : FolderOf(target) + "/" + link;
  }
  return ELOOP;
}

// Why `path`, whose file (after links) has the type bits of `mode`, is not
// used: "it is a FIFO (named pipe), not a regular file", or through a link
// "it is a symbolic link to "/dev/zero", a character device, ...".
std::string NotRegular(const std::string& path, mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder";
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::string target;
    ResolveLinks(path, target);
    return "it is a symbolic link to " + Quoted(target) + ", " + KindOf(mode) +
           ", not a regular file";
  }
  return "it is " + KindOf(mode) + ", not a regular file";
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
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += HexText(std::string_view(reinterpret_cast<const char*>(&c), 1));
    }
  }
  return out;
}

// The local time now in strftime's `format`.
std::string LocalTimestamp(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

// Numbered names tried in the trash before a unique one is made up.
constexpr int kNumberedTrashNames = 10000;

// The name a file takes in the trash at the `attempt`th try: the original
// name first, then a number before the extension ("ledger.2.txt") or at the
// end when there is none ("ledger.2", ".profile.2"). Once the numbers are
// used up, the time, the process and a counter make the name unique
// ("ledger.20240501T183005-4242-1.txt").
std::string TrashName(const std::string& name, int attempt) {
  if (attempt == 1) return name;
  std::string tag = std::to_string(attempt);
  if (attempt > kNumberedTrashNames) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &local);
    tag = std::string(stamp) + "-" + std::to_string(getpid()) + "-" +
          std::to_string(attempt - kNumberedTrashNames);
  }
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return name + "." + tag;
  return name.substr(0, dot) + "." + tag + name.substr(dot);
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
                           "\nDeletionDate=" + LocalTimestamp("%Y-%m-%dT%H:%M:%S") + "\n";

  // Claim a name by creating its .trashinfo exclusively, so that two programs
  // trashing at the same moment never take the same name.
  const std::string name = NameOf(path);
  // The numbered names can all be taken; the made-up ones cannot, short of
  // a broken clock and recycled process numbers, so the end of this loop is
  // never reached in practice.
  for (int attempt = 1; attempt <= kNumberedTrashNames + 1000; ++attempt) {
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

// The mkostemp template of the temporary file that replaces `target`: a
// hidden name in the same folder, so that the rename stays on one file system.
std::string TempFileTemplate(const std::string& target) {
  return FolderOf(target) + "/" + TemporaryNamePattern(NameOf(target));
}

// Creates and removes a temporary file in `folder`, the one sure way to know
// that a file can be made there: permission bits say nothing about a
// read-only mount, and nothing at all to the superuser. Returns 0 or errno.
int ProbeCreate(const std::string& folder, const std::string& name) {
  std::string probe = TempFileTemplate(folder + "/" + name);
  Fd fd(mkostemp(probe.data(), O_CLOEXEC));
  if (fd.get() < 0) return errno;
  fd.Close();
  unlink(probe.c_str());
  return 0;
}

// Bytes the caller may still use on the file system of `folder`, and its
// block size; false when the file system does not say.
bool FreeSpace(const std::string& folder, unsigned long long& bytes, unsigned long long& block) {
  struct statvfs fs;
  if (statvfs(folder.c_str(), &fs) != 0) return false;
  block = fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
  // The superuser may also fill the blocks kept in reserve.
  const unsigned long long blocks = geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
  bytes = blocks * block;
  return true;
}

unsigned long long RoundUp(unsigned long long size, unsigned long long block) {
  return block == 0 ? size : (size + block - 1) / block * block;
}

// The device of `path`, or 0 when it cannot be looked at.
dev_t DeviceOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

// Why the trash cannot take a copy of a file of `size` bytes that lives on
// `fileDevice`, or the empty text. Makes the trash's folders when missing,
// as putting a file there would.
std::string WhyTrashUnusable(unsigned long long size, dev_t fileDevice,
                             unsigned long long& sharedNeed) {
  sharedNeed = 0;
  const std::string trash = TrashFolder();
  if (trash.empty()) return "the trash cannot be found: the user has no home folder";
  for (const std::string& folder : {trash + "/files", trash + "/info"}) {
    errno = 0;
    if (!MakeFolders(folder)) {
      return "the trash folder " + Quoted(folder) +
             " cannot be made: " + Reason(errno != 0 ? errno : EIO);
    }
    if (int error = ProbeCreate(folder, "syncbolvarin-probe"); error != 0) {
      return "the trash folder " + Quoted(folder) + " cannot take a file: " + Reason(error);
    }
  }
  const std::string files = trash + "/files";
  unsigned long long bytes = 0, block = 0;
  if (!FreeSpace(files, bytes, block)) return {};
  const unsigned long long need = RoundUp(size, block);
  if (DeviceOf(files) == fileDevice) {
    sharedNeed = need;  // counted with the new file, on the same file system
  } else if (bytes < need) {
    return "the trash " + Quoted(trash) + " has room for " + std::to_string(bytes) +
           " bytes, the old file needs " + std::to_string(need);
  }
  return {};
}

}  // namespace

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  // What the name holds is looked at before it is opened, since opening a
  // device can by itself have effects.
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + NotRegular(path, st.st_mode));
  }
  // Opened without blocking, so that a FIFO put there meanwhile cannot hang
  // the open; it is refused below.
  Fd fd(OpenRetry(path.c_str(), O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  if (fstat(fd.get(), &st) != 0) {
    Raise(err::kFileIo, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    Raise(err::kPathAccess, "Cannot read " + Quoted(path) + ": " + NotRegular(path, st.st_mode));
  }
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    Raise(err::kFileIo, "Cannot read " + Quoted(path) + ": " + Reason(errno));
  }
  std::string data;
  if (st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
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

void AppendToFile(const std::string& path, std::string_view text) {
  Fd fd(OpenRetry(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666));
  if (fd.get() < 0 || !WriteAll(fd.get(), text.data(), text.size()) || fd.Close() != 0) {
    Raise(err::kFileIo, "Cannot add to " + Quoted(path) + ": " + Reason(errno));
  }
}

void RemoveFile(const std::string& filePath, bool permanent) {
  if (TrimBlanks(filePath).empty()) return;
  // Only regular files are removed; a folder, a device or a missing name is
  // left alone. A symbolic link to a regular file removes the link itself.
  if (!IsRegularFile(filePath)) return;
  if (permanent) {
    unlink(filePath.c_str());
  } else {
    PutInTrash(filePath, TrashMode::kMove);  // on failure the file stays
  }
}

namespace replace_steps {

namespace {

class PosixNewFile : public NewFile {
 public:
  PosixNewFile(std::string path, int fd, mode_t mode) : fd_(fd), mode_(mode) {
    path_ = std::move(path);
  }
  StepFailure Write(std::string_view data) override {
    if (WriteAll(fd_.get(), data.data(), data.size())) return {};
    return {err::kFileIo, Reason(errno)};
  }
  StepFailure Finish() override {
    int error = 0;
    if (fchmod(fd_.get(), mode_) != 0 || !FsyncRetry(fd_.get())) error = errno;
    if (fd_.Close() != 0 && error == 0) error = errno;
    if (error != 0) return {err::kFileIo, Reason(error)};
    return {};
  }
  void Remove() override {
    fd_.Close();
    unlink(path_.c_str());
  }

 private:
  Fd fd_;
  mode_t mode_;
};

}  // namespace

StepFailure FindTarget(const std::string& path, std::string& target, bool& exists) {
  exists = false;
  if (int error = ResolveLinks(path, target); error != 0) return {err::kPathAccess, Reason(error)};
  struct stat st;
  if (lstat(target.c_str(), &st) != 0) return {};
  if (!S_ISREG(st.st_mode)) {
    return {err::kPathAccess, NotRegular(path, st.st_mode) + "; it is left as it is"};
  }
  exists = true;
  return {};
}

std::unique_ptr<NewFile> CreateNewFile(const std::string& target, StepFailure& failure) {
  // The new file takes the old one's permission bits, or those the umask
  // gives a new file.
  mode_t mode;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  std::string temp = TempFileTemplate(target);
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    failure = {err::kPathAccess, Reason(errno)};
    return nullptr;
  }
  return std::make_unique<PosixNewFile>(std::move(temp), fd, mode);
}

StepFailure DiskFull() { return {err::kFileIo, Reason(ENOSPC)}; }

StepFailure TrashOldVersion(const std::string& target, std::string& keep) {
  // A copy goes to the trash; the old file keeps the name until the rename.
  keep.clear();
  if (int error = PutInTrash(target, TrashMode::kCopy); error != 0) {
    return {
        err::kPathAccess,
        "the old file could not be put in the trash, so it was left as it was: " + Reason(error)};
  }
  return {};
}

StepFailure RenameOver(const std::string& from, const std::string& target, const std::string&) {
  if (rename(from.c_str(), target.c_str()) != 0) return {err::kPathAccess, Reason(errno)};
  return {};
}

void Finished(const std::string& target, const std::string&) { SyncFolder(FolderOf(target)); }

}  // namespace replace_steps

std::string WhyCannotReplace(const std::string& path, bool permanent) {
  if (TrimBlanks(path).empty()) return "the path is empty";
  std::string target;
  if (int error = ResolveLinks(path, target); error != 0) return Reason(error);
  unsigned long long oldSize = 0;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return NotRegular(path, st.st_mode);
    oldSize = static_cast<unsigned long long>(st.st_size);
  } else if (errno != ENOENT) {
    return Reason(errno);
  }

  const std::string folder = FolderOf(target);
  if (stat(folder.c_str(), &st) != 0) {
    return "the folder " + Quoted(folder) + " cannot be used: " + Reason(errno);
  }
  if (!S_ISDIR(st.st_mode)) return Quoted(folder) + " is not a folder";
  if (int error = ProbeCreate(folder, NameOf(target)); error != 0) {
    return "no file can be created in the folder " + Quoted(folder) + ": " + Reason(error);
  }

  unsigned long long trashNeed = 0;
  if (!permanent) {
    std::string why = WhyTrashUnusable(oldSize, st.st_dev, trashNeed);
    if (!why.empty()) return why + " (the old version of the file is to go there)";
  }
  // The new file is taken to be about as large as the old one, and one
  // block more for a new one; the trash's copy counts when it shares the
  // file system.
  unsigned long long bytes = 0, block = 0;
  if (FreeSpace(folder, bytes, block)) {
    const unsigned long long need = RoundUp(oldSize, block) + block + trashNeed;
    if (bytes < need) {
      return "the file system of " + Quoted(folder) + " has room for " + std::to_string(bytes) +
             " bytes, about " + std::to_string(need) + " are needed";
    }
  }
  return {};
}

namespace file_steps {

bool IsBareName(const std::string& name) { return name.find('/') == std::string::npos; }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  return names;
}

std::string UnsavedCopyName(const std::string& path) {
  return NameOf(path) + ".unsaved-" + LocalTimestamp("%Y%m%d-%H%M%S");
}

std::vector<std::string> UnsavedCopyFolders(const std::string& path) {
  std::vector<std::string> folders = {FolderOf(path)};
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') {
    folders.push_back(std::string(dataHome) + "/syncbolvarin/unsaved");
  } else if (const std::string home = HomeFolder(); !home.empty()) {
    folders.push_back(home + "/.local/share/syncbolvarin/unsaved");
  }
  const char* tmp = std::getenv("TMPDIR");
  folders.push_back(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp");
  return folders;
}

std::string UnsavedCopyPath(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

std::string MakeUnsavedFolder(const std::string& folder) {
  errno = 0;
  if (!MakeFolders(folder)) return Reason(errno != 0 ? errno : EIO);
  return {};
}

std::string WriteUnsavedCopy(const std::string& path, std::string_view contents, bool& taken) {
  taken = false;
  Fd fd(OpenRetry(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
  if (fd.get() < 0) {
    taken = errno == EEXIST;
    return Reason(errno);
  }
  int error = 0;
  if (!WriteAll(fd.get(), contents.data(), contents.size()) || !FsyncRetry(fd.get())) error = errno;
  if (fd.Close() != 0 && error == 0) error = errno;
  if (error != 0) {
    unlink(path.c_str());
    return Reason(error);
  }
  SyncFolder(FolderOf(path));
  return {};
}

}  // namespace file_steps

}  // namespace bolvarin
