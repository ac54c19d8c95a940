// FileLock on Windows: LockFileEx on one byte far past the holder's details,
// so that a waiting program can still read who holds the lock.
//
// The lock belongs to the open handle and goes with the holder's end. The
// lock file is deleted on release; a program that opens it while it is being
// deleted is refused by the system and simply tries again.
#include <windows.h>

#include <utility>

#include "base/error.h"
#include "os/file_lock_steps.h"
#include "os/win_handles_win.h"

namespace bolvarin {

namespace {

constexpr DWORD kLockOffsetHigh = 1;  // the locked byte sits at 4 GiB

[[noreturn]] void RaiseUnusable(const std::string& path, const std::string& reason) {
  Raise(err::kPathAccess, "Cannot use the lock file \"" + path + "\": " + reason);
}

std::string ReadHolder(HANDLE file) {
  char buffer[1024];
  OVERLAPPED at{};
  DWORD n = 0;
  if (!ReadFile(file, buffer, sizeof buffer, &n, &at)) return {};
  return std::string(buffer, n);
}

// Records the holder. A failure here costs only the details that waiting
// programs would show; the lock itself is held.
void WriteHolder(HANDLE file, const std::string& command) {
  char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD size = sizeof host;
  if (!GetComputerNameA(host, &size)) host[0] = '\0';
  const std::string record =
      lock_steps::LockHolderRecord(static_cast<long long>(GetCurrentProcessId()), command, host);
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return;
  if (!SetEndOfFile(file)) return;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

}  // namespace

namespace lock_steps {

namespace {

class WinLock : public HeldLock {
 public:
  WinLock(std::string path, HANDLE file) : path_(std::move(path)), file_(file) {}
  ~WinLock() override {
    OVERLAPPED region{};
    region.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(file_.get(), 0, 1, 0, &region);
    file_.Reset();
    DeleteFileA(path_.c_str());
  }

 private:
  std::string path_;
  win::Handle file_;
};

}  // namespace

std::unique_ptr<HeldLock> TryLock(const std::string& lockPath, const std::string& command,
                                  std::string& holder) {
  const DWORD attributes = GetFileAttributesA(lockPath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    RaiseUnusable(lockPath, "it is a folder, not a regular file");
  }
  win::Handle file(CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid()) {
    OVERLAPPED region{};
    region.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &region)) {
      WriteHolder(file.get(), command);
      return std::make_unique<WinLock>(lockPath, file.Release());
    }
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      RaiseUnusable(lockPath, "it cannot be locked: " + win::ErrorMessage(error));
    }
    holder = ReadHolder(file.get());
  } else if (const DWORD error = GetLastError();
             error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
    // Access is refused for a moment while its holder deletes it.
    RaiseUnusable(lockPath, win::ErrorMessage(error));
  }
  return nullptr;
}

}  // namespace lock_steps

}  // namespace bolvarin
