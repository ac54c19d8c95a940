// FileLock on POSIX systems: flock() on the lock file.
//
// flock() locks belong to the open file, so a second open of the same file
// (in this process or another) cannot take the lock while it is held, and
// the lock goes with the holder's end. The lock file is removed on release.
// Because a waiting program may have opened the file just before its holder
// removed it, a program that gets the lock checks that the name still leads
// to the file it locked, and otherwise starts again with the file now there.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/error.h"
#include "os/fd_posix.h"
#include "os/file_lock_steps.h"

namespace bolvarin {

namespace {

[[noreturn]] void RaiseUnusable(const std::string& path, const std::string& reason) {
  Raise(err::kPathAccess, "Cannot use the lock file \"" + path + "\": " + reason);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a file";
}

// Opens the lock file, creating it when missing. Anything but a regular file
// is refused before it is opened, and again after (in case it was swapped).
// Non-blocking, so that a FIFO put there in between cannot hang the open.
Fd OpenLockFile(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    RaiseUnusable(path, std::string("it is ") + KindOf(st.st_mode) + ", not a regular file");
  }
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno == EACCES) {
    // Left by another user and not writable for us: it can still be locked,
    // only our details cannot be written into it.
    do {
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ENOENT) errno = EACCES;
  }
  if (fd < 0) {
    if (errno == ELOOP) RaiseUnusable(path, "it is a symbolic link, not a regular file");
    RaiseUnusable(path, std::strerror(errno));
  }
  Fd owner(fd);
  if (fstat(fd, &st) != 0) RaiseUnusable(path, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) {
    RaiseUnusable(path, std::string("it is ") + KindOf(st.st_mode) + ", not a regular file");
  }
  return owner;
}

// True when `path` still names the file open as `fd`.
bool StillNamed(int fd, const std::string& path) {
  struct stat opened, named;
  return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::string ReadHolder(int fd) {
  char buffer[1024];
  ssize_t n;
  do {
    n = pread(fd, buffer, sizeof buffer, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// Records the holder. A failure here (a full disk) costs only the details
// that waiting programs would show; the lock itself is held.
void WriteHolder(int fd, const std::string& command) {
  char host[256] = "";
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const std::string record =
      lock_steps::LockHolderRecord(static_cast<long long>(getpid()), command, host);
  if (ftruncate(fd, 0) != 0) return;
  size_t done = 0;
  while (done < record.size()) {
    ssize_t n = pwrite(fd, record.data() + done, record.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

namespace lock_steps {

namespace {

class PosixLock : public HeldLock {
 public:
  PosixLock(std::string path, Fd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  ~PosixLock() override {
    // Removed while still locked, so that no one takes a lock on a file that
    // is about to lose its name; a waiting program that opened it already
    // sees that and starts again.
    if (StillNamed(fd_.get(), path_)) unlink(path_.c_str());
  }

 private:
  std::string path_;
  Fd fd_;
};

}  // namespace

std::unique_ptr<HeldLock> TryLock(const std::string& lockPath, const std::string& command,
                                  std::string& holder) {
  for (;;) {
    Fd fd = OpenLockFile(lockPath);
    int rc;
    do {
      rc = flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0) {
      if (StillNamed(fd.get(), lockPath)) {
        // A file we could only open for reading would keep naming its last
        // holder: put a file of our own in its place when we can.
        if ((fcntl(fd.get(), F_GETFL) & O_ACCMODE) == O_RDONLY && unlink(lockPath.c_str()) == 0) {
          continue;
        }
        WriteHolder(fd.get(), command);
        return std::make_unique<PosixLock>(lockPath, std::move(fd));
      }
      // Its holder removed it between our open and our lock: lock the file
      // that has the name now.
      continue;
    }
    const int error = errno;
    if (error != EWOULDBLOCK && error != EAGAIN) {
      RaiseUnusable(lockPath, std::string("it cannot be locked: ") + std::strerror(error));
    }
    holder = ReadHolder(fd.get());
    return nullptr;
  }
}

}  // namespace lock_steps

}  // namespace bolvarin
