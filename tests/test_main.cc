// The tests' main: before any test runs, the whole process (and every program
// a test starts, which inherits the environment) gets a home of its own in a
// fresh temporary folder, removed when the tests end. The XDG folders, the
// settings file and the Wine prefix are unset, so that they fall back to
// places below that home: no test can reach the running user's files,
// settings or trash. A test may still set any of them for itself
// (ScopedEnv, tests/test_util.h); the private value comes back afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/test_util.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bolvarin::testing::TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                           "XDG_RUNTIME_DIR", "WINEPREFIX", "SYNCBOLVARIN_SETTINGS"})
    unsetenv(name);
  return RUN_ALL_TESTS();
}
