// FileLock on Windows: LockFileEx on one byte far past the holder's details,
// so that a waiting program can still read who holds the lock.
//
// The lock belongs to the open handle and goes with the holder's end. The
// lock file is deleted on release; a program that opens it while it is being
// deleted is refused by the system and simply tries again.
#include <windows.h>

#include <algorithm>
#include <thread>

#include "base/error.h"
#include "base/host_events.h"
#include "os/file_lock.h"
#include "os/file_lock_text.h"
#include "os/win_handles_win.h"

namespace bolvarin {

struct FileLock::Handle {
  explicit Handle(HANDLE h = nullptr) : file(h) {}
  win::Handle file;
};

namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};
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
      LockHolderRecord(static_cast<long long>(GetCurrentProcessId()), command, host);
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return;
  if (!SetEndOfFile(file)) return;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

}  // namespace

FileLock::FileLock(const std::string& lockPath, const std::string& command,
                   std::chrono::milliseconds wait)
    : path_(lockPath), handle_(std::make_unique<Handle>()) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const DWORD attributes = GetFileAttributesA(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      RaiseUnusable(path_, "it is a folder, not a regular file");
    }
    win::Handle file(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string holder;
    if (file.valid()) {
      OVERLAPPED region{};
      region.OffsetHigh = kLockOffsetHigh;
      if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &region)) {
        WriteHolder(file.get(), command);
        handle_ = std::make_unique<Handle>(file.Release());
        return;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        RaiseUnusable(path_, "it cannot be locked: " + win::ErrorMessage(error));
      }
      holder = ReadHolder(file.get());
    } else if (const DWORD error = GetLastError();
               error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
      // Access is refused for a moment while its holder deletes it.
      RaiseUnusable(path_, win::ErrorMessage(error));
    }
    file.Reset();
    if (std::chrono::steady_clock::now() >= deadline) {
      Raise(err::kPathAccess, LockBusyDescription(path_, holder, wait));
    }
    // The host stays responsive while the lock is waited for.
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        kRetryInterval, deadline - std::chrono::steady_clock::now()));
  }
}

FileLock::~FileLock() {
  if (!handle_ || !handle_->file.valid()) return;
  OVERLAPPED region{};
  region.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(handle_->file.get(), 0, 1, 0, &region);
  handle_->file.Reset();
  DeleteFileA(path_.c_str());
}

}  // namespace bolvarin
