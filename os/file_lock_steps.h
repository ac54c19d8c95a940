// The platform's part of FileLock. os/file_lock.cc keeps the wait for a lock
// that someone else holds, its deadline and the message given when it runs
// out; each system supplies one attempt at taking the lock
// (file_lock_posix.cc, file_lock_win.cc). Nothing else needs this header.
#pragma once

#include <memory>
#include <string>

namespace bolvarin::lock_steps {

// A lock taken. Destroying it releases the lock and removes the lock file.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// One attempt at the lock on `lockPath`, without waiting. Returns the lock,
// with the holder's details for `command` written into the lock file; or
// null while someone else holds it, with `holder` set to what the lock file
// says about them (possibly nothing). Raises, without waiting, when the lock
// file cannot be created or opened, cannot be locked at all, or is something
// other than a regular file.
std::unique_ptr<HeldLock> TryLock(const std::string& lockPath, const std::string& command,
                                  std::string& holder);

// What the holder writes after locking: "pid=", "command=", "host=" and
// "since=" lines (the time in UTC).
std::string LockHolderRecord(long long pid, const std::string& command, const std::string& host);

}  // namespace bolvarin::lock_steps
