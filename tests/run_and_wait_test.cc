#include "os/run_and_wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "os/command_line_posix.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using namespace bolvarin::testing;
using Clock = std::chrono::steady_clock;
using Words = std::vector<std::string>;

TEST(RunAndWaitSplit, SplitsLikeAShellWithoutExpansion) {
  const std::vector<std::pair<std::string, Words>> cases = {
      {"   \t ", {}},
      {"  prog   a\tb\\\nc  ", {"prog", "a", "bc"}},
      {"prog 'a b' \"c d\" '' a'b c'd", {"prog", "a b", "c d", "", "ab cd"}},
      {"prog 'a\\b \"x\"'", {"prog", "a\\b \"x\""}},
      {"prog \"a\\\"b\" \"c\\\\d\" \"e\\$f\" \"g\\nh\"", {"prog", "a\"b", "c\\d", "e$f", "g\\nh"}},
      {"/opt/My\\ Tools/run \\'c\\' end\\", {"/opt/My Tools/run", "'c'", "end\\"}},
      {"prog $HOME *.txt a|b ; `x`", {"prog", "$HOME", "*.txt", "a|b", ";", "`x`"}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(SplitCommandLine(line), words) << line;
  for (const std::string line : {"prog 'abc", "prog \"ab\\\""}) {
    EXPECT_THROW(SplitCommandLine(line), ConduitError) << "unterminated quote in " << line;
  }
}

// An ended program returns true whatever its exit status: 259 (which the
// shell reports as 259 & 255) is never taken for "still running". A program
// that cannot start returns false at once, without yielding.
TEST(RunAndWait, TellsWhetherTheProgramRan) {
  for (const std::string command :
       {"true", "false", "sh -c 'exit 255'", "sh -c 'exit 259'", "sh -c 'kill -9 $$'"}) {
    EXPECT_TRUE(RunAndWait(command)) << command;
  }
  TempDir dir;
  WriteFile(dir.File("not-executable"), "#!/bin/sh\nexit 0\n");
  YieldCounter yields;
  for (const std::string& command :
       Words{"  ", "no-such-program-syncbolvarin-test", dir.File("not-executable"), dir.path(),
             "sh 'unterminated", "\"\" arg"}) {
    const auto start = Clock::now();
    EXPECT_FALSE(RunAndWait(command, "file.txt")) << command;
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << command;
  }
  EXPECT_EQ(yields.count, 0);
}

TEST(RunAndWait, WaitsForTheEndAndYieldsMeanwhile) {
  TempDir dir;
  ScopedEnv env("SYNCBOLVARIN_RUN_TEST", "inherited");
  YieldCounter yields;
  const auto start = Clock::now();
  ASSERT_TRUE(
      RunAndWait("sh -c 'sleep 0.3; echo $SYNCBOLVARIN_RUN_TEST > \"$0\"'", dir.File("done")));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(ReadFile(dir.File("done")), "inherited\n");  // it had really ended
  EXPECT_GE(yields.count, 2);  // about one yield per 100 ms, not a busy loop
  EXPECT_LE(yields.count, 20);
}

}  // namespace
}  // namespace bolvarin
