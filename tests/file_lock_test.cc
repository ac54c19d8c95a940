// Locks on lock files: one holder at a time, whoever waits is told who holds
// it, and a lock file that is not a regular file is refused.
#include "os/file_lock.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "base/error.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using namespace std::chrono_literals;
using namespace bolvarin::testing;

// The description of the error that taking the lock raises, or "" when the
// lock was taken.
std::string LockRefusal(const std::string& path) {
  return RaisedBy([&] { FileLock lock(path, "second", 0ms); }).text;
}

// The process and host that a holder names.
std::string Holder() {
#ifdef _WIN32
  char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD size = sizeof host;
  GetComputerNameA(host, &size);
  return std::to_string(GetCurrentProcessId()) + " on host " + host;
#else
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  return std::to_string(getpid()) + " on host " + host;
#endif
}

// SYNCBOLVARIN_LOCK_WAIT is in seconds, with a fraction down to the
// millisecond; anything else, or more than 600 seconds, keeps the 5 seconds.
TEST(FileLock, WaitComesFromTheEnvironmentToTheMillisecond) {
  const std::pair<const char*, long long> cases[] = {
      {"0.05", 50}, {"1.5", 1500},   {"2.125", 2125},   {"0.0009", 0},  {"3.", 3000},
      {".25", 250}, {"600", 600000}, {"600.001", 5000}, {"1.2x", 5000}, {"-1", 5000},
      {"", 5000},   {".", 5000},     {"1e3", 5000},
  };
  for (const auto& [text, ms] : cases) {
    ScopedEnv wait("SYNCBOLVARIN_LOCK_WAIT", text);
    EXPECT_EQ(LockWait().count(), ms) << "[" << text << "]";
  }
}

TEST(FileLock, OneHolderAtATimeAndTheOthersAreToldWho) {
  TempDir dir;
  const std::string path = LockFileOf(dir.File("ledger.txt"));
  // What a killed holder left: the file stays, its lock went with the holder.
  WriteFile(path, "pid=1\ncommand=killed\n");
  {
    FileLock held(path, "test holder", 0ms);
    EXPECT_PRED2(Contains, LockRefusal(path),
                 "\"" + path + "\" is held by test holder (process " + Holder() + ", since ");
    EXPECT_PRED2(Contains, ReadFile(path), "command=test holder\n");
  }
  EXPECT_FALSE(Exists(path)) << "the lock file is removed on release";
  EXPECT_EQ(LockRefusal(path), "");
}

TEST(FileLock, ALockFileThatIsNotARegularFileIsRefused) {
  TempDir dir;
  namespace fs = std::filesystem;
  const std::string target = dir.File("target"), file = dir.File("file");
  WriteFile(file, "x");
  const std::vector<std::pair<std::function<void(const std::string&)>, const char*>> cases = {
      {[](const std::string& p) { fs::create_directory(p); }, "a folder"},
#ifndef _WIN32  // links need privileges on Windows, which has no FIFOs
      {[&](const std::string& p) { fs::create_symlink(target, p); }, "a symbolic link"},
      {[&](const std::string& p) { fs::create_symlink(file, p); }, "a symbolic link"},
      {[](const std::string& p) { mkfifo(p.c_str(), 0600); }, "a FIFO"},
#endif
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = dir.File(std::to_string(i) + ".lock");
    cases[i].first(path);
    EXPECT_EQ(LockRefusal(path), "Cannot use the lock file \"" + path + "\": it is " +
                                     std::string(cases[i].second) + ", not a regular file");
    EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path))) << path;
  }
  EXPECT_FALSE(Exists(target)) << "a dangling link's target is never created";
  EXPECT_EQ(ReadFile(file), "x");
}

}  // namespace
}  // namespace bolvarin
