#include "os/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/error.h"
#include "tests/env_guard.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using bolvarin::testing::Exists;
using bolvarin::testing::ReadFile;
using bolvarin::testing::ScopedEnv;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RealFolder(const TempDir& dir) { return fs::canonical(dir.path()).string(); }

// A private trash for each test, through XDG_DATA_HOME.
class FilesTrash : public ::testing::Test {
 protected:
  FilesTrash() : dataHome_("XDG_DATA_HOME", home_.path()) {}
  std::string TrashFiles() const { return home_.path() + "/Trash/files"; }
  std::string TrashInfo() const { return home_.path() + "/Trash/info"; }
  std::string InfoOf(const std::string& trashName) const {
    return ReadFile(TrashInfo() + "/" + trashName + ".trashinfo");
  }

  TempDir dir_;  // where the desktop files live

 private:
  TempDir home_;
  ScopedEnv dataHome_;
};

TEST(Files, IsRegularFileMatchesFilesOnly) {
  TempDir dir;
  WriteFile(dir.File("a.txt"), "x");
  fs::create_directory(dir.File("sub"));
  EXPECT_TRUE(IsRegularFile(dir.File("a.txt")));
  EXPECT_FALSE(IsRegularFile(dir.File("sub")));
  EXPECT_FALSE(IsRegularFile(dir.File("missing")));
  EXPECT_FALSE(IsRegularFile(""));
}

TEST(Files, ReadWholeFileReadsEveryByte) {
  TempDir dir;
  std::string data("line 1\r\n\0binary\xff", 16);
  data += std::string(200000, 'z');  // more than one read
  WriteFile(dir.File("data"), data);
  std::string read = "previous";
  ASSERT_TRUE(ReadWholeFile(dir.File("data"), read));
  EXPECT_EQ(read, data);

  WriteFile(dir.File("empty"), "");
  ASSERT_TRUE(ReadWholeFile(dir.File("empty"), read));
  EXPECT_EQ(read, "");
}

TEST(Files, ReadWholeFileMissingIsFalse) {
  TempDir dir;
  std::string read;
  EXPECT_FALSE(ReadWholeFile(dir.File("missing.txt"), read));
  EXPECT_FALSE(ReadWholeFile(dir.File("missing/inside.txt"), read));
}

TEST(Files, ReadWholeFileFailureNamesTheFile) {
  TempDir dir;
  fs::create_directory(dir.File("folder.txt"));
  WriteFile(dir.File("locked.txt"), "x");
  chmod(dir.File("locked.txt").c_str(), 0);
  std::vector<std::string> unreadable = {dir.File("folder.txt")};
  if (geteuid() != 0) unreadable.push_back(dir.File("locked.txt"));  // root reads anything
  for (const auto& path : unreadable) {
    std::string read;
    try {
      ReadWholeFile(path, read);
      ADD_FAILURE() << "no error for " << path;
    } catch (const ConduitError& e) {
      EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    }
  }
}

TEST(Files, FindFileNoCasePrefersTheExactName) {
  TempDir dir;
  WriteFile(dir.File("Categories.TXT"), "a");
  EXPECT_EQ(FindFileNoCase(dir.path(), "categories.txt"), dir.File("Categories.TXT"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "CATEGORIES.txt"), dir.File("Categories.TXT"));
  WriteFile(dir.File("categories.txt"), "b");
  EXPECT_EQ(FindFileNoCase(dir.path(), "categories.txt"), dir.File("categories.txt"));
  EXPECT_EQ(FindFileNoCase(dir.path() + "/", "categories.txt"), dir.File("categories.txt"));
}

TEST(Files, FindFileNoCaseSkipsFoldersAndMisses) {
  TempDir dir;
  fs::create_directory(dir.File("MODE.TXT"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "mode.txt"), "");
  WriteFile(dir.File("Mode.txt"), "m");
  EXPECT_EQ(FindFileNoCase(dir.path(), "mode.txt"), dir.File("Mode.txt"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "type.txt"), "");
  EXPECT_EQ(FindFileNoCase(dir.File("no-such-folder"), "mode.txt"), "");
  EXPECT_EQ(FindFileNoCase(dir.path(), ""), "");
}

TEST_F(FilesTrash, RemovedFileGoesToTheTrashWithItsOrigin) {
  const std::string path = dir_.File("my ledger%.txt");
  WriteFile(path, "records\n");
  RemoveFile(path, false);
  EXPECT_FALSE(Exists(path));
  ASSERT_EQ(Names(TrashFiles()), std::vector<std::string>{"my ledger%.txt"});
  EXPECT_EQ(ReadFile(TrashFiles() + "/my ledger%.txt"), "records\n");

  const std::string info = InfoOf("my ledger%.txt");
  const std::string escaped = RealFolder(dir_) + "/my%20ledger%25.txt";
  EXPECT_TRUE(std::regex_match(info, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate="
                                                "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
      << info;
  EXPECT_NE(info.find("\nPath=" + escaped + "\n"), std::string::npos) << info;
}

TEST_F(FilesTrash, RelativePathIsRecordedAbsolute) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  WriteFile("relative.txt", "r");
  RemoveFile("relative.txt", false);
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_FALSE(Exists(dir_.File("relative.txt")));
  EXPECT_NE(InfoOf("relative.txt").find("\nPath=" + RealFolder(dir_) + "/relative.txt\n"),
            std::string::npos);
}

TEST_F(FilesTrash, NameClashesGetNumberedNames) {
  const std::string path = dir_.File("ledger.txt");
  for (const std::string content : {"first", "second", "third"}) {
    WriteFile(path, content);
    RemoveFile(path, false);
  }
  fs::create_directory(dir_.File("sub"));
  WriteFile(dir_.File("sub/README"), "no extension");
  RemoveFile(dir_.File("sub/README"), false);
  WriteFile(dir_.File("README"), "again");
  RemoveFile(dir_.File("README"), false);

  EXPECT_EQ(Names(TrashFiles()), (std::vector<std::string>{"README", "README.2", "ledger.2.txt",
                                                           "ledger.3.txt", "ledger.txt"}));
  EXPECT_EQ(ReadFile(TrashFiles() + "/ledger.txt"), "first");
  EXPECT_EQ(ReadFile(TrashFiles() + "/ledger.2.txt"), "second");
  EXPECT_EQ(ReadFile(TrashFiles() + "/ledger.3.txt"), "third");
  EXPECT_EQ(Names(TrashInfo()).size(), 5u);
  EXPECT_NE(InfoOf("ledger.3.txt").find("/ledger.txt\n"), std::string::npos);
  EXPECT_NE(InfoOf("README").find("/sub/README\n"), std::string::npos);
}

TEST_F(FilesTrash, TrashedFileWithoutInfoIsNotOverwritten) {
  fs::create_directories(TrashFiles());
  WriteFile(TrashFiles() + "/ledger.txt", "orphan");
  WriteFile(dir_.File("ledger.txt"), "mine");
  RemoveFile(dir_.File("ledger.txt"), false);
  EXPECT_EQ(ReadFile(TrashFiles() + "/ledger.txt"), "orphan");
  EXPECT_EQ(ReadFile(TrashFiles() + "/ledger.2.txt"), "mine");
  EXPECT_EQ(Names(TrashInfo()), std::vector<std::string>{"ledger.2.txt.trashinfo"});
}

TEST_F(FilesTrash, NothingHappensForBlankMissingOrFolderPaths) {
  fs::create_directory(dir_.File("folder"));
  WriteFile(dir_.File("folder/inside.txt"), "kept");
  for (bool permanent : {false, true}) {
    RemoveFile("", permanent);
    RemoveFile("   ", permanent);
    RemoveFile(dir_.File("missing.txt"), permanent);
    RemoveFile(dir_.File("folder"), permanent);
  }
  EXPECT_EQ(ReadFile(dir_.File("folder/inside.txt")), "kept");
  EXPECT_TRUE(Names(TrashFiles()).empty());
}

TEST_F(FilesTrash, PermanentRemovalDeletesForGood) {
  WriteFile(dir_.File("old.txt"), "gone");
  RemoveFile(dir_.File("old.txt"), true);
  EXPECT_FALSE(Exists(dir_.File("old.txt")));
  EXPECT_TRUE(Names(TrashFiles()).empty());
  EXPECT_TRUE(Names(TrashInfo()).empty());
}

TEST_F(FilesTrash, FileOnAnotherFileSystemIsCopiedAcross) {
  struct stat trashSide, other;
  if (stat(dir_.path().c_str(), &trashSide) != 0 || stat("/dev/shm", &other) != 0 ||
      trashSide.st_dev == other.st_dev || access("/dev/shm", W_OK) != 0) {
    GTEST_SKIP() << "no second file system to test with";
  }
  char tmpl[] = "/dev/shm/syncbolvarin-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string path = std::string(tmpl) + "/far.txt";
  WriteFile(path, "far away");
  RemoveFile(path, false);
  const bool gone = !Exists(path);
  fs::remove_all(tmpl);
  EXPECT_TRUE(gone);
  EXPECT_EQ(ReadFile(TrashFiles() + "/far.txt"), "far away");
  EXPECT_NE(InfoOf("far.txt").find(path), std::string::npos);
}

TEST_F(FilesTrash, UnusableTrashLeavesTheFileInPlace) {
  TempDir other;
  WriteFile(other.File("not-a-folder"), "x");
  ScopedEnv broken("XDG_DATA_HOME", other.File("not-a-folder"));
  WriteFile(dir_.File("ledger.txt"), "keep me");
  RemoveFile(dir_.File("ledger.txt"), false);
  EXPECT_EQ(ReadFile(dir_.File("ledger.txt")), "keep me");
}

TEST_F(FilesTrash, ReplaceFilePutsTheOldVersionInTheTrash) {
  const std::string path = dir_.File("categories.txt");
  WriteFile(path, "old version\r\n");
  chmod(path.c_str(), 0640);
  ReplaceFile(path, "new version\r\n", false);
  EXPECT_EQ(ReadFile(path), "new version\r\n");
  EXPECT_EQ(ReadFile(TrashFiles() + "/categories.txt"), "old version\r\n");
  EXPECT_NE(InfoOf("categories.txt").find("/categories.txt\n"), std::string::npos);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the file keeps its permissions
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"categories.txt"});
}

TEST_F(FilesTrash, ReplaceFilePermanentOrNewLeavesTheTrashAlone) {
  const std::string path = dir_.File("mode.txt");
  ReplaceFile(path, "created", false);  // nothing old to keep
  EXPECT_EQ(ReadFile(path), "created");
  ReplaceFile(path, "replaced", true);
  EXPECT_EQ(ReadFile(path), "replaced");
  ReplaceFile(path, "", true);
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_TRUE(Names(TrashFiles()).empty());
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"mode.txt"});
}

TEST_F(FilesTrash, ReplaceFileThroughALinkKeepsTheLink) {
  WriteFile(dir_.File("real.txt"), "old");
  fs::create_symlink(dir_.File("real.txt"), dir_.File("link.txt"));
  ReplaceFile(dir_.File("link.txt"), "new", true);
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.txt")));
  EXPECT_EQ(ReadFile(dir_.File("real.txt")), "new");
}

TEST_F(FilesTrash, FailurePartWayLeavesTheOldFileWhole) {
  const std::string path = dir_.File("ledger.txt");
  const std::string old = "1;0;0;01/01/2024;12.50;;;;;;;;\r\n2;0;0;02/01/2024;3.10;;;;;;;;\r\n";
  const std::string replacement = old + old + "3;1;0;03/01/2024;9.99;;;;;;;;\r\n";
  for (long long bytes : {0LL, 7LL, static_cast<long long>(replacement.size())}) {
    for (bool permanent : {false, true}) {
      WriteFile(path, old);
      FailNextReplaceAfterForTesting(bytes);
      try {
        ReplaceFile(path, replacement, permanent);
        ADD_FAILURE() << "no error after " << bytes << " bytes";
      } catch (const ConduitError& e) {
        EXPECT_EQ(e.number(), err::kFileIo);
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
      }
      EXPECT_EQ(ReadFile(path), old) << bytes;
      EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"ledger.txt"}) << bytes;
    }
  }
  EXPECT_TRUE(Names(TrashFiles()).empty());
  // The fault was for one call only.
  ReplaceFile(path, replacement, true);
  EXPECT_EQ(ReadFile(path), replacement);
}

TEST_F(FilesTrash, ReplaceFileRefusesWhenTheOldVersionCannotGoToTheTrash) {
  TempDir other;
  WriteFile(other.File("not-a-folder"), "x");
  ScopedEnv broken("XDG_DATA_HOME", other.File("not-a-folder"));
  const std::string path = dir_.File("desc.txt");
  WriteFile(path, "old descriptions");
  EXPECT_THROW(ReplaceFile(path, "new descriptions", false), ConduitError);
  EXPECT_EQ(ReadFile(path), "old descriptions");
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"desc.txt"});
  // Deleting for good needs no trash.
  ReplaceFile(path, "new descriptions", true);
  EXPECT_EQ(ReadFile(path), "new descriptions");
}

TEST_F(FilesTrash, ReplaceFileErrorsNameTheFile) {
  fs::create_directory(dir_.File("folder.txt"));
  for (const std::string& path : {dir_.File("folder.txt"), dir_.File("no-folder/ledger.txt")}) {
    try {
      ReplaceFile(path, "x", true);
      ADD_FAILURE() << "no error for " << path;
    } catch (const ConduitError& e) {
      EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    }
  }
  EXPECT_THROW(ReplaceFile("  ", "x", true), ConduitError);
  EXPECT_TRUE(fs::is_directory(dir_.File("folder.txt")));
}

}  // namespace
}  // namespace bolvarin
