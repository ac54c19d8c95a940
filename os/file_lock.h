// Exclusive locks on lock files, so that two runs never work on the same
// files at the same time.
//
// A FileLock holds an exclusive lock on one lock file for as long as the
// object lives. Taking it creates the file when missing, then writes into it
// who holds the lock (process id, command, host name and since when), so that
// a second program that finds the lock taken can say who has it. Locks are
// advisory: they hold between programs that take them, which all of this
// program's runs and editing commands do.
//
// The lock belongs to the open file, not to the process: it is gone as soon
// as the holder ends, however it ends, and a program started by the holder
// does not inherit it. The POSIX build locks with flock() and removes the
// lock file again on release; a Windows build locks with LockFileEx on a
// region past the holder's details, so that waiting programs can still read
// them.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace bolvarin {

namespace lock_steps {
class HeldLock;
}  // namespace lock_steps

class FileLock {
 public:
  // Takes the lock on `lockPath`. `command` says what takes it ("syncbolvarin
  // sync"); it is written into the lock file for others to read. While the
  // lock is held by someone else, tries again until `wait` has passed, then
  // raises a ConduitError that names the lock file and its holder. Also
  // raises, without waiting, when the lock file cannot be created or opened,
  // or when something other than a regular file has its name.
  FileLock(const std::string& lockPath, const std::string& command, std::chrono::milliseconds wait);
  // The same with the process-wide wait, LockWait().
  FileLock(const std::string& lockPath, const std::string& command);
  // Releases the lock and removes the lock file.
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<lock_steps::HeldLock> held_;  // the open lock file, per platform
};

// The lock file of `file`: its full name followed by ".lock".
std::string LockFileOf(const std::string& file);

// How long a lock is waited for before giving up: the number of seconds in
// the environment variable SYNCBOLVARIN_LOCK_WAIT (0 to 600, fractions
// allowed) when it holds one, otherwise 5 seconds.
std::chrono::milliseconds LockWait();

// Test hook: LockWait() answers `wait` from now on; a negative value goes
// back to the environment and the default.
void SetLockWaitForTesting(std::chrono::milliseconds wait);

}  // namespace bolvarin
