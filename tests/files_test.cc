// Reading, removing and replacing files: the cases both builds share. The
// POSIX-only ones (the trash's own files, links, FIFOs, free space) are in
// files_posix_test.cc.
#include "os/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/error.h"
#include "tests/test_trash.h"
#include "tests/test_util.h"

#ifdef _WIN32
// windows.h maps ReplaceFile onto ReplaceFileA; the tests call the conduit's own.
#undef ReplaceFile
#endif

namespace bolvarin {
namespace {

namespace fs = std::filesystem;
using namespace bolvarin::testing;

using Files = TrashTest;

TEST_F(Files, ReadAndFindWithoutRegardToCase) {
  const std::string data = std::string("a\r\n\0\xff", 5) + std::string(200000, 'z');
  WriteFile(dir_.File("Data.TXT"), data);
  fs::create_directory(dir_.File("folder.txt"));
  std::string read;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Data.TXT"), read));
  EXPECT_EQ(read, data);
  EXPECT_PRED2(Contains, RaisedBy([&] { ReadWholeFile(dir_.File("folder.txt"), read); }).text,
               "folder.txt");

  const std::string found = FindFileNoCase(dir_.path(), "DATA.txt");
  ASSERT_TRUE(IsRegularFile(found)) << found;
  EXPECT_EQ(ReadFile(found), data);
  EXPECT_EQ(FindFileNoCase(dir_.path(), "FOLDER.TXT"), "");  // folders do not count
#ifndef _WIN32
  WriteFile(dir_.File("data.txt"), "b");
  EXPECT_EQ(FindFileNoCase(dir_.path(), "data.txt"), dir_.File("data.txt"));  // the exact name wins
#endif
}

// Removing or replacing a file puts it, or a copy of its old version, in the
// trash unless it goes for good; a blank path, a missing file or a folder is
// not removed. A new version keeps the old one's permissions.
TEST_F(Files, OldVersionsGoToTheTrashUnlessForGood) {
  WriteFile(dir_.File("ledger.txt"), "records\r\n");
  RemoveFile(dir_.File("ledger.txt"), false);
  WriteFile(dir_.File("old.txt"), "gone");
  RemoveFile(dir_.File("old.txt"), true);
  fs::create_directory(dir_.File("folder"));
  for (bool permanent : {false, true}) {
    for (const std::string& path : {std::string("  "), dir_.File("missing"), dir_.File("folder")})
      RemoveFile(path, permanent);
  }
  const std::string path = dir_.File("categories.txt");
  WriteFile(path, "old\r\n");
#ifndef _WIN32
  fs::permissions(path, fs::perms(0640));
#endif
  ReplaceFile(path, "new\r\n", false);
  EXPECT_EQ(ReadFile(path), "new\r\n");
  ReplaceFile(path, "newer", true);
  EXPECT_EQ(ReadFile(path), "newer");
#ifndef _WIN32  // both new versions keep the old one's permission bits
  EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
#endif
  EXPECT_EQ(ReadFile(trash_.Trashed("ledger.txt")), "records\r\n");
  EXPECT_EQ(ReadFile(trash_.Trashed("categories.txt")), "old\r\n");
  EXPECT_EQ(trash_.FileNames(), (Names{"categories.txt", "ledger.txt"}));
  EXPECT_EQ(NamesIn(dir_.path()), (Names{"categories.txt", "folder"}));
}

TEST_F(Files, FailurePartWayLeavesTheOldFileWhole) {
  const std::string path = dir_.File("ledger.txt");
  const std::string old = "1;0;0;01/01/2024;12.50;;\r\n", replacement = old + old + old;
  for (long long bytes : {0LL, 7LL, static_cast<long long>(replacement.size())}) {
    for (bool permanent : {false, true}) {
      WriteFile(path, old);
      FailNextReplaceAfterForTesting(bytes);
      EXPECT_PRED2(Contains, RaisedBy([&] { ReplaceFile(path, replacement, permanent); }).text,
                   path);
      EXPECT_EQ(ReadFile(path), old) << bytes;
      EXPECT_EQ(NamesIn(dir_.path()), Names{"ledger.txt"}) << "temporary file left behind";
    }
  }
  EXPECT_EQ(trash_.FileNames(), Names{});
}

#ifdef _WIN32
// A hidden or system file is neither removed nor replaced: it keeps its
// contents, and the failure says why.
TEST_F(Files, HiddenAndSystemFilesAreLeftAsTheyAre) {
  const std::string path = dir_.File("ledger.txt");
  for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    for (bool permanent : {false, true}) {
      WriteFile(path, "old");
      ASSERT_TRUE(SetFileAttributesA(path.c_str(), attribute));
      RemoveFile(path, permanent);
      EXPECT_PRED2(Contains, RaisedBy([&] { ReplaceFile(path, "new", permanent); }).text,
                   "hidden or system");
      EXPECT_EQ(ReadFile(path), "old") << attribute;
      EXPECT_EQ(NamesIn(dir_.path()), Names{"ledger.txt"});
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
  EXPECT_EQ(trash_.FileNames(), Names{});
}
#endif

}  // namespace
}  // namespace bolvarin
