// The tests' main: before any test runs, the whole process (and every program
// a test starts, which inherits the environment) gets a home of its own in a
// fresh temporary folder. HOME, the XDG folders, the settings file and the
// Wine prefix point there, so no test can reach the running user's files,
// settings or trash. A test may still set any of them for itself
// (tests/env_guard.h); the private value comes back afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "tests/test_util.h"

namespace {

class PrivateHome : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_.emplace();
    const std::string home = folder_->File("home");
    std::filesystem::create_directories(home);
    const std::pair<const char*, std::string> variables[] = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_DATA_HOME", home + "/.local/share"},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_STATE_HOME", home + "/.local/state"},
        {"XDG_RUNTIME_DIR", folder_->File("runtime")},
        {"WINEPREFIX", home + "/.wine"},
    };
    for (const auto& [name, value] : variables) setenv(name, value.c_str(), 1);
    std::filesystem::create_directories(folder_->File("runtime"));
    std::filesystem::permissions(folder_->File("runtime"), std::filesystem::perms::owner_all);
    // An explicit settings file of the user's would win over XDG_CONFIG_HOME.
    unsetenv("SYNCBOLVARIN_SETTINGS");
  }
  void TearDown() override { folder_.reset(); }

 private:
  std::optional<bolvarin::testing::TempDir> folder_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PrivateHome);
  return RUN_ALL_TESTS();
}
