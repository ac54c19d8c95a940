// Locks on lock files: one holder at a time, whoever waits is told who holds
// it, and a lock file that is not a regular file is refused.
#include "os/file_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "base/error.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using namespace std::chrono_literals;
using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The description of the error that taking the lock raises, or "" when the
// lock was taken.
std::string LockRefusal(const std::string& path) {
  return testing::RaisedBy([&] { FileLock lock(path, "second", 0ms); }).text;
}

TEST(FileLock, OneHolderAtATimeAndTheOthersAreToldWho) {
  TempDir dir;
  const std::string path = LockFileOf(dir.File("ledger.txt"));
  // What a killed holder left: the file stays, its lock went with the holder.
  WriteFile(path, "pid=1\ncommand=killed\n");
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  {
    FileLock held(path, "test holder", 0ms);
    const std::string refusal = LockRefusal(path);
    EXPECT_NE(refusal.find("\"" + path + "\" is held by test holder (process " +
                           std::to_string(getpid()) + " on host " + host + ", since "),
              std::string::npos)
        << refusal;
    EXPECT_NE(ReadFile(path).find("command=test holder\n"), std::string::npos);
  }
  EXPECT_FALSE(Exists(path)) << "the lock file is removed on release";
  EXPECT_EQ(LockRefusal(path), "");
}

TEST(FileLock, ALockFileThatIsNotARegularFileIsRefused) {
  TempDir dir;
  const std::string target = dir.File("target");
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    const char* kind;
  };
  const std::vector<Case> cases = {
      {"dangling link", [&](const std::string& p) { symlink(target.c_str(), p.c_str()); },
       "a symbolic link"},
      {"link to a file",
       [&](const std::string& p) {
         WriteFile(target + "2", "x");
         symlink((target + "2").c_str(), p.c_str());
       },
       "a symbolic link"},
      {"FIFO", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, "a FIFO"},
      {"folder", [](const std::string& p) { mkdir(p.c_str(), 0700); }, "a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".lock");
    c.make(path);
    EXPECT_EQ(LockRefusal(path), "Cannot use the lock file \"" + path + "\": it is " +
                                     std::string(c.kind) + ", not a regular file");
    EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
  }
  EXPECT_FALSE(Exists(target)) << "a dangling link's target is never created";
  EXPECT_EQ(ReadFile(target + "2"), "x");
}

}  // namespace
}  // namespace bolvarin
