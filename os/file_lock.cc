// The parts of FileLock that every platform shares: the wait, and the text
// a holder leaves in its lock file and a waiting program reads back. Each
// attempt at the lock is the platform's (os/file_lock_steps.h).
#include "os/file_lock.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <thread>

#include "base/error.h"
#include "base/host_events.h"
#include "os/file_lock_steps.h"

namespace bolvarin {

namespace {

constexpr std::chrono::milliseconds kDefaultWait{5000};
constexpr std::chrono::milliseconds kRetryInterval{50};
constexpr long long kMaxWaitMs = 600 * 1000;
long long g_waitOverrideMs = -1;  // SetLockWaitForTesting

// "2.5" or "10" seconds as milliseconds; -1 for anything else.
long long ParseSeconds(std::string_view text) {
  long long ms = 0;
  size_t i = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    ms = ms * 10 + (text[i] - '0') * 1000;
    digits = true;
    if (ms > kMaxWaitMs) return -1;
  }
  if (i < text.size() && text[i] == '.') {
    long long scale = 100;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      ms += (text[i] - '0') * scale;
      scale /= 10;
      digits = true;
    }
  }
  if (!digits || i != text.size() || ms > kMaxWaitMs) return -1;
  return ms;
}

// Holder details come from a file anyone may have written: only printable
// characters are shown, and not too many of them.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (out.size() >= 120) break;
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7F ? ' ' : c;
  }
  return out;
}

// The value of "key=" in the holder record, or the empty text.
std::string Field(std::string_view record, std::string_view key) {
  size_t start = 0;
  while (start < record.size()) {
    size_t end = record.find('\n', start);
    if (end == std::string_view::npos) end = record.size();
    std::string_view line = record.substr(start, end - start);
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
      return Printable(line.substr(key.size() + 1));
    }
    start = end + 1;
  }
  return {};
}

std::string Seconds(std::chrono::milliseconds wait) {
  const long long ms = wait.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return text + " s";
}

// The description of the error raised when the lock stayed taken: the lock
// file, its holder as `holderRecord` tells it (or that it does not say), and
// how long was waited.
std::string LockBusyDescription(const std::string& lockPath, std::string_view holderRecord,
                                std::chrono::milliseconds waited) {
  const std::string pid = Field(holderRecord, "pid");
  std::string holder;
  if (pid.empty()) {
    holder = "another program (the lock file does not say which)";
  } else {
    const std::string command = Field(holderRecord, "command");
    const std::string host = Field(holderRecord, "host");
    const std::string since = Field(holderRecord, "since");
    holder = (command.empty() ? std::string("a program") : command) + " (process " + pid;
    if (!host.empty()) holder += " on host " + host;
    if (!since.empty()) holder += ", since " + since;
    holder += ")";
  }
  return "The lock file \"" + lockPath + "\" is held by " + holder + "; gave up after waiting " +
         Seconds(waited) + ". Try again when it has finished";
}

}  // namespace

FileLock::FileLock(const std::string& lockPath, const std::string& command,
                   std::chrono::milliseconds wait)
    : path_(lockPath) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    std::string holder;
    held_ = lock_steps::TryLock(path_, command, holder);
    if (held_) return;
    if (std::chrono::steady_clock::now() >= deadline) {
      Raise(err::kPathAccess, LockBusyDescription(path_, holder, wait));
    }
    // The host stays responsive while the lock is waited for.
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        kRetryInterval, deadline - std::chrono::steady_clock::now()));
  }
}

FileLock::FileLock(const std::string& lockPath, const std::string& command)
    : FileLock(lockPath, command, LockWait()) {}

FileLock::~FileLock() = default;

std::string LockFileOf(const std::string& file) { return file + ".lock"; }

std::chrono::milliseconds LockWait() {
  if (g_waitOverrideMs >= 0) return std::chrono::milliseconds(g_waitOverrideMs);
  if (const char* text = std::getenv("SYNCBOLVARIN_LOCK_WAIT")) {
    const long long ms = ParseSeconds(text);
    if (ms >= 0) return std::chrono::milliseconds(ms);
  }
  return kDefaultWait;
}

void SetLockWaitForTesting(std::chrono::milliseconds wait) {
  g_waitOverrideMs = wait.count() < 0 ? -1 : static_cast<long long>(wait.count());
}

std::string lock_steps::LockHolderRecord(long long pid, const std::string& command,
                                         const std::string& host) {
  std::time_t now = std::time(nullptr);
  char since[40] = "";
  if (const std::tm* utc = std::gmtime(&now)) {
    std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S UTC", utc);
  }
  return "pid=" + std::to_string(pid) + "\ncommand=" + Printable(command) +
         "\nhost=" + Printable(host) + "\nsince=" + since + "\n";
}

}  // namespace bolvarin
