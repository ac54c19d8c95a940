// Runs the Linux host program for the tests (RunHost), and
// the other helpers of tests/test_util.h that differ from the Windows tests'.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "tests/test_util.h"

namespace bolvarin::testing {

// The host's input and output are files.
HostResult RunHost(const std::vector<std::string>& args, const std::string& input) {
  TempDir capture;
  const std::string in = capture.File("in"), out = capture.File("out"), err = capture.File("err");
  WriteFile(in, input);
  std::vector<char*> argv = {const_cast<char*>(BOLVARIN_HOST_BINARY)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("cannot start the host");
  if (pid == 0) {
    dup2(open(in.c_str(), O_RDONLY), 0);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT, 0600), 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(out),
          ReadFile(err)};
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

std::optional<bool> CheckWithoutPrivileges(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    alarm(60);
    if (geteuid() == 0) {
      __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
      __user_cap_data_struct caps[2]{};
      if (syscall(SYS_capget, &header, caps) != 0) _exit(3);
      for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        caps[cap / 32].effective &= ~(1u << (cap % 32));
      if (syscall(SYS_capset, &header, caps) != 0) _exit(3);
    }
    // Whatever happens, the child never returns into the tests.
    try {
      _exit(check() ? 0 : 1);
    } catch (...) {
      _exit(1);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return std::nullopt;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bolvarin::testing
