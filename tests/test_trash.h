// The trash a test may fill (the recycle bin on Windows), always inside the
// test's own folders and empty when the test starts.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/test_util.h"
#ifdef _WIN32
#include "tests/win/win_test_support.h"
#endif

namespace bolvarin::testing {

using Names = std::vector<std::string>;

// The names in a folder, sorted; none when it does not exist.
inline Names NamesIn(const std::string& folder) {
  Names names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// On Windows, Wine's recycle bin is $XDG_DATA_HOME/Trash as the Unix side
// set it when the test program started (the test preset points it into the
// build folder), emptied here; on Linux, a trash of the test's own, through
// XDG_DATA_HOME.
class TestTrash {
 public:
#ifdef _WIN32
  TestTrash() : root_(TrashFolder()) {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
#else
  TestTrash() : dataHome_("XDG_DATA_HOME", home_.path()), root_(home_.File("Trash")) {}
#endif
  bool usable() const { return !root_.empty(); }
  std::string Root() const { return root_; }
  std::string Trashed(const std::string& name) const {
    return NativePath(NativePath(root_, "files"), name);
  }
  Names FileNames() const { return NamesIn(NativePath(root_, "files")); }

 private:
#ifndef _WIN32
  TempDir home_;
  ScopedEnv dataHome_;
#endif
  std::string root_;
};

// A test with a trash and a folder of its own.
class TrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(trash_.usable()) << "XDG_DATA_HOME must point into the test's folder";
  }
  TestTrash trash_;
  TempDir dir_;
};

}  // namespace bolvarin::testing
