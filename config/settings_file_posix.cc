// The settings file of POSIX builds: where it lives, and the store that the
// conduit uses when the host installed no other.
#include "config/settings_file_posix.h"

#include <cstdlib>
#include <string>

#include "config/settings_default.h"
#include "config/settings_file.h"
#include "os/home_posix.h"

namespace bolvarin {

namespace {

// The backend used when the host installed none: the file that
// DefaultSettingsPath() names at the moment of each call, so that a change of
// the environment is seen at once.
class DefaultFileSettings : public SettingsBackend {
 public:
  bool CreateKey(const std::string& keyPath) override {
    return FileSettings(DefaultSettingsPath()).CreateKey(keyPath);
  }
  std::optional<std::string> Query(const std::string& keyPath,
                                   const std::string& valueName) override {
    return FileSettings(DefaultSettingsPath()).Query(keyPath, valueName);
  }
  bool Set(const std::string& keyPath, const std::string& valueName,
           const std::string& text) override {
    return FileSettings(DefaultSettingsPath()).Set(keyPath, valueName, text);
  }
  bool Delete(const std::string& keyPath, const std::string& valueName) override {
    return FileSettings(DefaultSettingsPath()).Delete(keyPath, valueName);
  }
};

}  // namespace

std::string DefaultSettingsPath() {
  const char* explicitPath = std::getenv("SYNCBOLVARIN_SETTINGS");
  if (explicitPath != nullptr && explicitPath[0] != '\0') return explicitPath;
  // XDG variables must hold absolute paths; any other value is ignored.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    return std::string(configHome) + "/syncbolvarin/settings";
  }
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + "/.config/syncbolvarin/settings";
}

SettingsBackend& DefaultSettings() {
  static DefaultFileSettings backend;
  return backend;
}

}  // namespace bolvarin
