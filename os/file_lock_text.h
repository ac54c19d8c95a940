// The text that a lock's holder writes into its lock file, and the message a
// program that cannot get the lock gives. Shared by the platform
// implementations of FileLock (os/file_lock_*.cc); nothing else needs it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace bolvarin {

// What the holder writes after locking: "pid=", "command=", "host=" and
// "since=" lines (the time in UTC).
std::string LockHolderRecord(long long pid, const std::string& command, const std::string& host);

// The description of the error raised when the lock stayed taken: the lock
// file, its holder as `holderRecord` tells it (or that it does not say), and
// how long was waited.
std::string LockBusyDescription(const std::string& lockPath, std::string_view holderRecord,
                                std::chrono::milliseconds waited);

}  // namespace bolvarin
