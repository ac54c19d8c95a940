#include "os/run_and_wait.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/host_events.h"
#include "tests/test_util.h"

namespace bolvarin {
namespace {

using bolvarin::testing::ReadFile;
using bolvarin::testing::TempDir;
using bolvarin::testing::WriteFile;
using Clock = std::chrono::steady_clock;

// Counts the yields to the host for the life of a test.
class YieldCounter {
 public:
  YieldCounter() {
    previous_ = SetPendingMessagesHandler([this] { ++count_; });
  }
  ~YieldCounter() { SetPendingMessagesHandler(previous_); }
  int count() const { return count_; }

 private:
  int count_ = 0;
  std::function<void()> previous_;
};

struct SplitCase {
  std::string line;
  std::vector<std::string> words;
};

TEST(RunAndWaitSplit, SplitsLikeAShell) {
  const std::vector<SplitCase> cases = {
      {"", {}},
      {"   \t ", {}},
      {"prog", {"prog"}},
      {"  prog   a\tb  ", {"prog", "a", "b"}},
      {"prog 'a b' \"c d\"", {"prog", "a b", "c d"}},
      {"prog 'it''s'", {"prog", "its"}},
      {"prog '' \"\"", {"prog", "", ""}},
      {"prog a'b c'd", {"prog", "ab cd"}},
      {"prog 'a\\b \"x\"'", {"prog", "a\\b \"x\""}},
      {"prog \"a\\\"b\" \"c\\\\d\" \"e\\$f\" \"g\\`h\"", {"prog", "a\"b", "c\\d", "e$f", "g`h"}},
      {"prog \"a\\nb\"", {"prog", "a\\nb"}},
      {"prog a\\ b \\'c\\'", {"prog", "a b", "'c'"}},
      {"/opt/My\\ Tools/run --file=x", {"/opt/My Tools/run", "--file=x"}},
      {"prog $HOME *.txt a|b ;", {"prog", "$HOME", "*.txt", "a|b", ";"}},
      {"prog a\\\nb", {"prog", "ab"}},
      {"prog end\\", {"prog", "end\\"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.words) << "command line: [" << c.line << "]";
  }
}

TEST(RunAndWaitSplit, UnterminatedQuoteNamesTheProblem) {
  for (const std::string line : {"prog 'abc", "prog \"abc", "prog \"ab\\\"", "'"}) {
    try {
      SplitCommandLine(line);
      ADD_FAILURE() << "no error for [" << line << "]";
    } catch (const ConduitError& e) {
      EXPECT_EQ(e.number(), err::kInvalidArgument);
      EXPECT_NE(e.description().find("Unterminated"), std::string::npos) << e.description();
      EXPECT_NE(e.description().find(line), std::string::npos) << e.description();
    }
  }
}

TEST(RunAndWait, EndedProgramsReturnTrueWhateverTheirExitStatus) {
  // Exit statuses are 8-bit on POSIX systems: no status can be mistaken for
  // "still running", so 3 and 255 simply end the wait like 0 does.
  for (const std::string command :
       {"true", "false", "sh -c 'exit 3'", "sh -c 'exit 255'", "sh -c 'kill -9 $$'"}) {
    EXPECT_TRUE(RunAndWait(command)) << command;
  }
}

TEST(RunAndWait, ProgramsThatCannotStartReturnFalsePromptly) {
  TempDir dir;
  WriteFile(dir.File("not-executable"), "#!/bin/sh\nexit 0\n");
  YieldCounter yields;
  for (const std::string& command : std::vector<std::string>{
           "", "   ", "no-such-program-syncbolvarin-test", "/no/such/folder/prog",
           dir.File("not-executable"), dir.path(), "sh 'unterminated", "\"\" arg"}) {
    const auto start = Clock::now();
    EXPECT_FALSE(RunAndWait(command, "file.txt")) << "[" << command << "]";
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << command;
  }
  EXPECT_EQ(yields.count(), 0);
}

// A script that writes its argument count and each argument on a line.
std::string ArgumentRecorder(const TempDir& dir, const std::string& output) {
  const std::string script = dir.File("record args.sh");
  WriteFile(script, "echo $# > '" + output + "'\nfor a in \"$@\"; do echo \"[$a]\" >> '" + output +
                        "'; done\n");
  return script;
}

TEST(RunAndWait, DataFileWithBlanksArrivesAsOneArgument) {
  TempDir dir;
  const std::string out = dir.File("args");
  const std::string script = ArgumentRecorder(dir, out);
  const std::string dataFile = dir.File("My Ledger  2024.txt");
  ASSERT_TRUE(RunAndWait("sh '" + script + "' --open", dataFile));
  EXPECT_EQ(ReadFile(out), "2\n[--open]\n[" + dataFile + "]\n");

  // No file argument: nothing is added.
  ASSERT_TRUE(RunAndWait("sh '" + script + "' --open"));
  EXPECT_EQ(ReadFile(out), "1\n[--open]\n");
}

TEST(RunAndWait, QuotesInTheCommandGroupWords) {
  TempDir dir;
  const std::string out = dir.File("args");
  const std::string script = ArgumentRecorder(dir, out);
  ASSERT_TRUE(RunAndWait("sh \"" + script + "\" 'a  b' c\\ d \"e'f\" '$HOME' \"\"", "x y"));
  EXPECT_EQ(ReadFile(out), "6\n[a  b]\n[c d]\n[e'f]\n[$HOME]\n[]\n[x y]\n");
}

TEST(RunAndWait, WaitsForTheEndAndYieldsMeanwhile) {
  TempDir dir;
  const std::string marker = dir.File("done");
  YieldCounter yields;
  const auto start = Clock::now();
  ASSERT_TRUE(RunAndWait("sh -c 'sleep 0.3; echo finished > \"$0\"'", marker));
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(300));
  EXPECT_LT(elapsed, std::chrono::seconds(3));
  EXPECT_EQ(ReadFile(marker), "finished\n");  // the program had really ended
  // About one yield per 100 ms of waiting, not a busy loop.
  EXPECT_GE(yields.count(), 2);
  EXPECT_LE(yields.count(), 20);
}

TEST(RunAndWait, YieldsOnceEvenForAnInstantProgram) {
  YieldCounter yields;
  ASSERT_TRUE(RunAndWait("true"));
  EXPECT_GE(yields.count(), 1);
}

TEST(RunAndWait, ProgramInheritsEnvironmentAndFolder) {
  TempDir dir;
  const std::string out = dir.File("env");
  setenv("SYNCBOLVARIN_RUN_TEST", "inherited value", 1);
  ASSERT_TRUE(RunAndWait(
      "sh -c 'printf \"%s|%s\" \"$SYNCBOLVARIN_RUN_TEST\" \"$(pwd -P)\" > \"$0\"'", out));
  unsetenv("SYNCBOLVARIN_RUN_TEST");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(ReadFile(out), std::string("inherited value|") + cwd);
}

}  // namespace
}  // namespace bolvarin
