// Helpers shared by the tests: temporary folders, files, running the host.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/host_events.h"

namespace bolvarin::testing {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
bool Exists(const std::string& path);

// `folder` + separator + `name`, with the separator the conduit puts between
// a folder and a file name: the system's own.
inline std::string NativePath(const std::string& folder, const std::string& name) {
  return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

// Whether `text` holds `part`; through EXPECT_PRED2 a failure shows both.
inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What the system says of a full disk, as the conduit's messages quote it.
std::string DiskFullText();

// Runs the syncbolvarin binary with the arguments (no shell involved) and
// `input` as its standard input (the Windows tests give none), in the tests'
// environment (ScopedEnv changes it), and collects its standard
// output, standard error and exit status.
struct HostResult {
  int status = -1;
  std::string out;
  std::string err;
};
HostResult RunHost(const std::vector<std::string>& args, const std::string& input = "");

// While this lives, the host can reach the conduit: on Windows its COM
// servers are registered, and unregistered afterwards; the Linux host has it
// built in.
struct HostConduit {
  HostConduit();
  ~HostConduit();
};

#ifndef _WIN32
// Runs `check` in a child process held to the files' permission bits even
// when the tests run as root (it gives up CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH), which ends after a minute rather than hang. Returns
// what `check` answered, or nothing when the child could not give up those
// rights.
std::optional<bool> CheckWithoutPrivileges(const std::function<bool()>& check);
#endif

// A program for the pre- and post-sync settings: each time it runs, it
// appends its arguments, one a line, to NAME.args and "ran" to NAME.ran in
// `dir`, and copies the file its last argument names to NAME.seen. Returns
// the command line that starts it. A shell script on Linux, a batch file on
// Windows.
std::string RecordingProgram(const TempDir& dir, const std::string& name);
// What it wrote to NAME.`what` ("args", "ran"), every line ended by "\n"
// alone; "" when it wrote nothing.
std::string Recorded(const TempDir& dir, const std::string& name, const std::string& what);

// What a call raised: the ConduitError's number and description, or 0 and
// "" when it raised none.
struct Raised {
  int32_t number = 0;
  std::string text;
};
template <class F>
Raised RaisedBy(F&& call) {
  try {
    call();
  } catch (const ConduitError& e) {
    return {e.number(), e.description()};
  }
  return {};
}

// Sets or clears an environment variable for the life of a test (and of the
// programs it starts, which inherit it) and puts the previous value back
// afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    Put(value);
  }
  ~ScopedEnv() { Put(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Put(const std::optional<std::string>& value) {
#ifdef _WIN32
    // The Windows C runtime has no setenv/unsetenv; an empty value removes a
    // variable there.
    _putenv_s(name_.c_str(), value ? value->c_str() : "");
#else
    value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str());
#endif
  }
  std::string name_;
  std::optional<std::string> old_;
};

// Counts the yields to the host for the life of a test.
class YieldCounter {
 public:
  YieldCounter() : previous_(SetPendingMessagesHandler([this] { ++count; })) {}
  ~YieldCounter() { SetPendingMessagesHandler(previous_); }
  int count = 0;

 private:
  std::function<void()> previous_;
};

}  // namespace bolvarin::testing
