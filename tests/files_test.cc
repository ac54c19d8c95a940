#include "os/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "base/error.h"
#include "tests/env_guard.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;
using Names = std::vector<std::string>;

Names NamesIn(const std::string& folder) {
  Names names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// True when `action` raises a ConduitError whose description names `path`.
bool RaisesNaming(const std::function<void()>& action, const std::string& path) {
  try {
    action();
  } catch (const ConduitError& e) {
    return e.description().find(path) != std::string::npos;
  }
  return false;
}

// Each test has its own trash, through XDG_DATA_HOME.
class FilesTrash : public ::testing::Test {
 protected:
  FilesTrash() : dataHome_("XDG_DATA_HOME", home_.path()) {}
  std::string Trashed(const std::string& name) const { return home_.File("Trash/files/" + name); }
  Names TrashNames() const { return NamesIn(home_.File("Trash/files")); }
  std::string InfoOf(const std::string& name) const {
    return ReadFile(home_.File("Trash/info/" + name + ".trashinfo"));
  }
  TempDir home_, dir_;
  ScopedEnv dataHome_;
};

TEST(Files, ReadAndFind) {
  TempDir dir;
  const std::string data = std::string("a\r\n\0\xff", 5) + std::string(200000, 'z');
  WriteFile(dir.File("Data.TXT"), data);
  fs::create_directory(dir.File("folder.txt"));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(dir.File("Data.TXT"), read));
  EXPECT_EQ(read, data);
  EXPECT_FALSE(ReadWholeFile(dir.File("missing/x"), read));
  EXPECT_TRUE(RaisesNaming([&] { ReadWholeFile(dir.File("folder.txt"), read); }, "folder.txt"));

  EXPECT_EQ(FindFileNoCase(dir.path(), "data.txt"), dir.File("Data.TXT"));
  EXPECT_EQ(FindFileNoCase(dir.path(), "FOLDER.TXT"), "");  // folders do not count
  WriteFile(dir.File("data.txt"), "b");
  EXPECT_EQ(FindFileNoCase(dir.path(), "data.txt"), dir.File("data.txt"));  // the exact name wins
}

TEST_F(FilesTrash, RemovedFileGoesToTheTrashWithItsOrigin) {
  fs::create_directory(dir_.File("sub"));
  WriteFile(dir_.File("my ledger%.txt"), "records\n");
  RemoveFile(dir_.File("sub/../my ledger%.txt"), false);  // recorded as a resolved path
  EXPECT_FALSE(Exists(dir_.File("my ledger%.txt")));
  EXPECT_EQ(ReadFile(Trashed("my ledger%.txt")), "records\n");
  const std::string origin = fs::canonical(dir_.path()).string() + "/my%20ledger%25.txt";
  const std::string info = InfoOf("my ledger%.txt");
  EXPECT_TRUE(std::regex_match(
      info, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=[-0-9]{10}T[:0-9]{8}\n")))
      << info;
  EXPECT_NE(info.find("\nPath=" + origin + "\n"), std::string::npos) << info;
}

TEST_F(FilesTrash, NameClashesGetNumberedNames) {
  fs::create_directories(home_.File("Trash/files"));
  WriteFile(Trashed("ledger.txt"), "orphan");  // a file without its info is never overwritten
  for (const std::string content : {"first", "second"}) {
    WriteFile(dir_.File("ledger.txt"), content);
    RemoveFile(dir_.File("ledger.txt"), false);
    WriteFile(dir_.File("README"), content);
    RemoveFile(dir_.File("README"), false);
  }
  EXPECT_EQ(TrashNames(),
            (Names{"README", "README.2", "ledger.2.txt", "ledger.3.txt", "ledger.txt"}));
  EXPECT_EQ(ReadFile(Trashed("ledger.3.txt")), "second");
  EXPECT_NE(InfoOf("ledger.3.txt").find("/ledger.txt\n"), std::string::npos);
}

TEST_F(FilesTrash, PermanentRemovalDeletesAndOddPathsAreLeftAlone) {
  WriteFile(dir_.File("old.txt"), "gone");
  RemoveFile(dir_.File("old.txt"), true);
  EXPECT_FALSE(Exists(dir_.File("old.txt")));
  fs::create_directory(dir_.File("folder"));
  for (bool permanent : {false, true}) {
    for (const std::string& path : {std::string("  "), dir_.File("missing"), dir_.File("folder")}) {
      RemoveFile(path, permanent);
    }
  }
  EXPECT_TRUE(fs::is_directory(dir_.File("folder")));
  EXPECT_EQ(TrashNames(), Names{});
}

TEST_F(FilesTrash, ReplaceFileTrashesACopyOfTheOldVersion) {
  const std::string path = dir_.File("categories.txt");
  WriteFile(path, "old\r\n");
  fs::permissions(path, fs::perms(0640));
  ReplaceFile(path, "new\r\n", false);
  EXPECT_EQ(ReadFile(path), "new\r\n");
  EXPECT_EQ(ReadFile(Trashed("categories.txt")), "old\r\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));  // kept by the new version
  ReplaceFile(path, "newer", true);                       // for good: nothing more in the trash
  ReplaceFile(dir_.File("fresh.txt"), "created", false);  // nothing old to keep
  EXPECT_EQ(ReadFile(path), "newer");
  EXPECT_EQ(TrashNames(), Names{"categories.txt"});
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"categories.txt", "fresh.txt"}));
}

TEST_F(FilesTrash, FailurePartWayLeavesTheOldFileWhole) {
  const std::string path = dir_.File("ledger.txt");
  const std::string old = "1;0;0;01/01/2024;12.50;;\r\n", replacement = old + old + old;
  for (long long bytes : {0LL, 7LL, static_cast<long long>(replacement.size())}) {
    for (bool permanent : {false, true}) {
      WriteFile(path, old);
      FailNextReplaceAfterForTesting(bytes);
      EXPECT_TRUE(RaisesNaming([&] { ReplaceFile(path, replacement, permanent); }, path));
      EXPECT_EQ(ReadFile(path), old) << bytes;
      EXPECT_EQ(NamesIn(dir_.path()), Names{"ledger.txt"}) << "temporary file left behind";
    }
  }
  EXPECT_EQ(TrashNames(), Names{});
}

TEST_F(FilesTrash, UnusableTrashKeepsTheOldFile) {
  WriteFile(dir_.File("plain"), "x");
  ScopedEnv broken("XDG_DATA_HOME", dir_.File("plain/x"));  // no trash can be made there
  const std::string path = dir_.File("desc.txt");
  WriteFile(path, "old");
  RemoveFile(path, false);  // the file stays where it is
  EXPECT_TRUE(RaisesNaming([&] { ReplaceFile(path, "new", false); }, path));
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"desc.txt", "plain"}));
  ReplaceFile(path, "new", true);  // deleting for good needs no trash
  EXPECT_EQ(ReadFile(path), "new");
}

}  // namespace
}  // namespace bolvarin
