// Helpers shared by the tests: temporary folders, files, running the host.
#pragma once

#include <cstdint>
#include <functional>
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

// Runs the syncbolvarin binary with the arguments (no shell involved) and
// collects its standard output, standard error and exit status. `env` adds
// NAME=VALUE entries to the environment, each replacing a variable of that
// name.
struct HostResult {
  int status = -1;
  std::string out;
  std::string err;
};
HostResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
// The same with `input` written to the host's standard input through a pipe.
HostResult RunHostWithInput(const std::vector<std::string>& args, const std::string& input,
                            const std::vector<std::string>& env = {});

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
