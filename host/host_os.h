// The services of the operating system the host's commands need, one
// implementation per build: host_os_posix.cc and host_os_win.cc.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace bolvarin::host {

// The settings store. On POSIX systems a file: `path`, or the default file
// when `path` is empty. On Windows the registry: an empty `path` is the only
// choice, anything else raises a CommandError that says so.
void UseSettingsFile(const std::string& path);
// What the messages name as the store in use ("the settings file \"...\"").
std::string SettingsStoreName(const std::string& path);
// The help text of the --settings option.
const char* SettingsOptionHelp();
// The settings a demo in `folder` uses when none are given: its own file on
// POSIX systems, the registry (the empty text) on Windows.
std::string DemoSettingsPath(const std::string& folder);

// A path as the user gave it, made usable by this build: on Windows under
// Wine a Unix path ("/home/me/ledger") becomes the Windows path Wine maps it
// to; otherwise the path is returned as it is.
std::string NativePath(const std::string& path);

// The folder of the running program.
std::string ProgramFolder();

// Prepares the process (standard streams, COM) and adds the commands that
// exist in one build only (register and unregister on Windows). Lives for
// the length of main.
class HostProcess {
 public:
  explicit HostProcess(CLI::App& app);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

 private:
  bool initialised_ = false;
};

}  // namespace bolvarin::host
