// The tests' main: before any test runs, the whole process (and every program
// a test starts, which inherits the environment) gets a home of its own in a
// fresh temporary folder, removed when the tests end. HOME, the XDG folders,
// the settings file and the Wine prefix point there, so no test can reach the
// running user's files, settings or trash. A test may still set any of them
// for itself (tests/env_guard.h); the private value comes back afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>

#include "tests/test_util.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bolvarin::testing::TempDir folder;
  const std::string home = folder.File("home"), runtime = folder.File("runtime");
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  const std::pair<const char*, std::string> variables[] = {
      {"HOME", home},
      {"XDG_CONFIG_HOME", home + "/.config"},
      {"XDG_DATA_HOME", home + "/.local/share"},
      {"XDG_CACHE_HOME", home + "/.cache"},
      {"XDG_STATE_HOME", home + "/.local/state"},
      {"XDG_RUNTIME_DIR", runtime},
      {"WINEPREFIX", home + "/.wine"},
  };
  for (const auto& [name, value] : variables) setenv(name, value.c_str(), 1);
  // An explicit settings file of the user's would win over XDG_CONFIG_HOME.
  unsetenv("SYNCBOLVARIN_SETTINGS");
  return RUN_ALL_TESTS();
}
