// Runs the Linux host program for the tests (RunHost, RunHostWithInput), and
// the other helpers of tests/test_util.h that differ from the Windows tests'.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/test_util.h"

extern char** environ;

namespace bolvarin::testing {

namespace {
std::string Drain(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}
}  // namespace

namespace {

// Runs the host with standard input from /dev/null, or from a pipe fed with
// `input` when one is given.
HostResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string* input) {
  TempDir capture;
  std::string outPath = capture.File("out"), errPath = capture.File("err");
  int inPipe[2] = {-1, -1};
  if (input != nullptr && pipe2(inPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_addclose(&actions, inPipe[0]);
    posix_spawn_file_actions_addclose(&actions, inPipe[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);

  std::vector<std::string> argStrings{BOLVARIN_HOST_BINARY};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  // An entry of `env` replaces the variable of the same name.
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(env.begin(), env.end(),
                     [&](const std::string& added) { return added.rfind(name, 0) == 0; })) {
      envStrings.push_back(entry);
    }
  }
  envStrings.insert(envStrings.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid;
  HostResult result;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (input != nullptr) {
    // The input is small enough for the pipe's buffer; the read end stays
    // open here until all is written, so an early exit cannot raise SIGPIPE.
    if (rc == 0) {
      for (size_t done = 0; done < input->size();) {
        ssize_t n = write(inPipe[1], input->data() + done, input->size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
    }
    close(inPipe[1]);
    close(inPipe[0]);
  }
  if (rc != 0) throw std::runtime_error("cannot start " + argStrings[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  int fd = open(outPath.c_str(), O_RDONLY);
  result.out = Drain(fd);
  close(fd);
  fd = open(errPath.c_str(), O_RDONLY);
  result.err = Drain(fd);
  close(fd);
  return result;
}

}  // namespace

HostResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  return Run(args, env, nullptr);
}

std::vector<std::string> HostSettingsArguments(const std::string& file) {
  return {"--settings", file};
}

std::string DiskFullText() { return "No space left on device"; }

HostConduit::HostConduit() = default;
HostConduit::~HostConduit() = default;

std::string RecordingProgram(const TempDir& dir, const std::string& name) {
  std::string text = R"(#!/bin/sh
for a in "$@"; do printf '%s\n' "$a" >> '{out}.args'; done
echo ran >> '{out}.ran'
for last in "$@"; do :; done
cp "$last" '{out}.seen' 2>/dev/null
exit 0
)";
  for (size_t at; (at = text.find("{out}")) != std::string::npos;)
    text.replace(at, 5, dir.File(name));
  const std::string script = dir.File(name + ".sh");
  WriteFile(script, text);
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

HostResult RunHostWithInput(const std::vector<std::string>& args, const std::string& input,
                            const std::vector<std::string>& env) {
  return Run(args, env, &input);
}

}  // namespace bolvarin::testing
