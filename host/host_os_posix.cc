// The host's operating-system services on POSIX systems: a settings file,
// paths as given, the program's folder from /proc.
#include <filesystem>
#include <memory>

#include "config/settings.h"
#include "config/settings_file.h"
#include "config/settings_file_posix.h"
#include "host/host_os.h"

namespace bolvarin::host {

namespace fs = std::filesystem;

void UseSettingsFile(const std::string& path) {
  if (path.empty()) return;
  // Lives as long as the process: the store keeps only a pointer to it.
  static std::unique_ptr<FileSettings> installed;
  auto next = std::make_unique<FileSettings>(path);
  SetActiveSettings(next.get());
  installed = std::move(next);
}

std::string SettingsStoreName(const std::string& path) {
  return "the settings file \"" + (path.empty() ? DefaultSettingsPath() : path) + "\"";
}

const char* SettingsOptionHelp() {
  return "Settings file to use (default: $SYNCBOLVARIN_SETTINGS, else "
         "$XDG_CONFIG_HOME/syncbolvarin/settings, else ~/.config/syncbolvarin/settings)";
}

std::string DemoSettingsPath(const std::string& folder) {
  return (fs::path(folder) / "settings").string();
}

std::string NativePath(const std::string& path) { return path; }

std::string ProgramFolder() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::current_path(ec) / "syncbolvarin";
  return self.parent_path().string();
}

HostProcess::HostProcess(CLI::App&) {}
HostProcess::~HostProcess() = default;

}  // namespace bolvarin::host
