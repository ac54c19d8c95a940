// Files on POSIX: the trash's own files and names, links, FIFOs, sockets,
// free space and folders the user cannot write to. The cases both builds
// share are in files_test.cc.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/error.h"
#include "os/files.h"
#include "tests/test_trash.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;
using FilesTrash = TrashTest;  // each test has its own trash, through XDG_DATA_HOME

// The trash records where a file came from (its folder resolved, the path
// escaped) and when. A name taken in the trash, even by a file without its
// record, which is never overwritten, gets the next number: before the
// extension when there is one.
TEST_F(FilesTrash, RemovedFilesKeepTheirOriginUnderNamesOfTheirOwn) {
  fs::create_directories(trash_.Root() + "/files");
  WriteFile(trash_.Trashed("my ledger%.txt"), "orphan");
  fs::create_directory(dir_.File("sub"));
  for (const std::string content : {"first", "second"}) {
    for (const std::string name : {"my ledger%.txt", "README"}) {
      WriteFile(dir_.File(name), content);
      RemoveFile(dir_.File("sub/../" + name), false);
      EXPECT_FALSE(Exists(dir_.File(name)));
    }
  }
  EXPECT_EQ(trash_.FileNames(), (Names{"README", "README.2", "my ledger%.2.txt", "my ledger%.3.txt",
                                       "my ledger%.txt"}));
  EXPECT_EQ(ReadFile(trash_.Trashed("my ledger%.3.txt")), "second");
  EXPECT_EQ(ReadFile(trash_.Trashed("my ledger%.txt")), "orphan");
  const std::string info = ReadFile(trash_.Root() + "/info/my ledger%.3.txt.trashinfo");
  EXPECT_TRUE(std::regex_match(
      info, std::regex("\\[Trash Info\\]\nPath=" + fs::canonical(dir_.path()).string() +
                       "/my%20ledger%25[.]txt\n"
                       "DeletionDate=[-0-9]{10}T[:0-9]{8}\n")))
      << info;
}

// Anything but a regular file, directly or through a link, is neither read
// nor replaced, and the reason says what it is; a FIFO never hangs (a FIFO
// opened the blocking way waits for a writer that never comes: the alarm
// ends the process then).
TEST_F(FilesTrash, OddFilesAreNeitherReadNorReplaced) {
  alarm(60);
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(mknod(dir_.File("sock").c_str(), S_IFSOCK | 0600, 0), 0);
  fs::create_directory(dir_.File("folder"));
  fs::create_symlink("/dev/null", dir_.File("null-link"));
  fs::create_symlink("fifo", dir_.File("fifo-link"));
  const Names before = NamesIn(dir_.path());
  for (const auto& [name, what] : std::vector<std::pair<std::string, std::string>>{
           {"fifo", "it is a FIFO (named pipe), not a regular file"},
           {"sock", "it is a socket, not a regular file"},
           {"folder", "it is a folder"},
           {"null-link", "symbolic link to \"/dev/null\", a character device, not a regular file"},
           {"fifo-link", "a FIFO (named pipe), not a regular file"}}) {
    SCOPED_TRACE(name);
    const std::string path = dir_.File(name);
    const auto type = fs::symlink_status(path).type();
    std::string read;
    EXPECT_PRED2(Contains, RaisedBy([&] { ReadWholeFile(path, read); }).text, what);
    for (bool permanent : {false, true}) {
      EXPECT_PRED2(Contains, WhyCannotReplace(path, permanent), what);
      const std::string raised = RaisedBy([&] { ReplaceFile(path, "new", permanent); }).text;
      EXPECT_PRED2(Contains, raised, path);
      EXPECT_PRED2(Contains, raised, what);
    }
    EXPECT_EQ(fs::symlink_status(path).type(), type);
  }
  EXPECT_EQ(fs::read_symlink(dir_.File("null-link")), "/dev/null");
  EXPECT_EQ(NamesIn(dir_.path()), before);  // no temporary file left behind
  EXPECT_EQ(trash_.FileNames(), Names{});
  alarm(0);
}

// Through a link, relative links read from the link's own folder, the file
// the link points to is replaced, or created when the link dangles; the
// link stays as it was.
TEST_F(FilesTrash, LinksAreKeptAndTheirTargetReplaced) {
  fs::create_directories(dir_.File("real"));
  fs::create_directories(dir_.File("links"));
  WriteFile(dir_.File("real/data.txt"), "old");
  struct Case {
    std::string link, pointsTo, target;
  };
  for (const Case& c : std::vector<Case>{{"links/to-file", "../real/data.txt", "real/data.txt"},
                                         {"links/dangling", "../real/new.txt", "real/new.txt"},
                                         {"chain", "links/to-file", "real/data.txt"},
                                         {"absolute", dir_.File("real/abs.txt"), "real/abs.txt"}}) {
    SCOPED_TRACE(c.link);
    fs::create_symlink(c.pointsTo, dir_.File(c.link));
    EXPECT_EQ(WhyCannotReplace(dir_.File(c.link), false), "");
    ReplaceFile(dir_.File(c.link), "new " + c.link, false);
    EXPECT_EQ(fs::read_symlink(dir_.File(c.link)), c.pointsTo);
    EXPECT_EQ(ReadFile(dir_.File(c.target)), "new " + c.link);
  }
  EXPECT_EQ(NamesIn(dir_.File("real")), (Names{"abs.txt", "data.txt", "new.txt"}));
  EXPECT_EQ(ReadFile(trash_.Trashed("data.txt")), "old");
}

// When every numbered name is taken, the trash makes up a unique one.
TEST_F(FilesTrash, TrashNeverRunsOutOfNames) {
  fs::create_directories(trash_.Root() + "/info");
  WriteFile(trash_.Root() + "/info/ledger.txt.trashinfo", "");
  for (int n = 2; n <= 10000; ++n)
    WriteFile(trash_.Root() + "/info/ledger." + std::to_string(n) + ".txt.trashinfo", "");
  const std::string path = dir_.File("ledger.txt");
  WriteFile(path, "old");
  ReplaceFile(path, "new", false);
  RemoveFile(path, false);
  EXPECT_FALSE(Exists(path));
  const Names trashed = trash_.FileNames();
  ASSERT_EQ(trashed.size(), 2u);
  EXPECT_TRUE(std::regex_match(trashed[1], std::regex("ledger\\.[0-9T-]+\\.txt"))) << trashed[1];
  EXPECT_EQ(ReadFile(trash_.Trashed(trashed[0])) + ReadFile(trash_.Trashed(trashed[1])), "oldnew");
}

// What WhyCannotReplace finds before anything is written, and what
// removing or replacing does when the trash cannot take the old file.
TEST_F(FilesTrash, WhyCannotReplaceNamesTheObstacleAndAnUnusableTrashKeepsTheOldFile) {
  WriteFile(dir_.File("plain"), "x");
  WriteFile(dir_.File("ledger.txt"), "old");
  const std::string readOnly = dir_.File("read-only");
  fs::create_directory(readOnly);
  fs::permissions(readOnly, fs::perms(0555));
  // A sparse file larger than the free space: its new version cannot fit.
  struct statvfs vfs;
  ASSERT_EQ(statvfs(dir_.path().c_str(), &vfs), 0);
  WriteFile(dir_.File("huge"), "");
  const bool sparse = truncate(dir_.File("huge").c_str(),
                               static_cast<off_t>(vfs.f_bfree * vfs.f_frsize + (1ULL << 30))) == 0;
  // (A missing folder shows in the handheld commands' tests.)
  EXPECT_PRED2(Contains, WhyCannotReplace(dir_.File("plain/hh.json"), true), "Not a directory");
  EXPECT_EQ(WhyCannotReplace("  ", true), "the path is empty");
  EXPECT_TRUE(!sparse || Contains(WhyCannotReplace(dir_.File("huge"), true), "has room for"));
  // A folder this user cannot write to is found by trying, not from its
  // permission bits, which the superuser ignores. (A child that cannot give
  // up the superuser's rights proves nothing.)
  EXPECT_TRUE(CheckWithoutPrivileges([&] {
                return WhyCannotReplace(readOnly + "/ledger.txt", true)
                    .starts_with("no file can be created in the folder \"" + readOnly);
              }).value_or(true));
  // Without a usable trash a file is neither removed nor replaced, unless
  // it goes for good.
  ScopedEnv broken("XDG_DATA_HOME", dir_.File("plain/x"));  // no trash can be made there
  const std::string path = dir_.File("ledger.txt");
  RemoveFile(path, false);
  EXPECT_PRED2(Contains, RaisedBy([&] { ReplaceFile(path, "new", false); }).text, path);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"huge", "ledger.txt", "plain", "read-only"}));
  EXPECT_EQ(WhyCannotReplace(path, true), "");
  ReplaceFile(path, "new", true);
  EXPECT_EQ(ReadFile(path), "new");
}

}  // namespace
}  // namespace bolvarin
