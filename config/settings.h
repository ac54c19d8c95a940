// The conduit's settings: text values under one key.
//
// GetRegValue and SetRegValue are the only way in. They sit on a narrow
// backend: the registry (HKEY_LOCAL_MACHINE) in the Windows build, a file in
// the POSIX build. Value names match without regard to case; a value that is
// blank (empty or spaces only) is deleted rather than stored.
#pragma once

#include <optional>
#include <string>

namespace bolvarin {

inline constexpr char kSettingsKey[] = "SoftWare\\SyncMabolvarin";

// The stored text, or the empty text when the value is missing or the store
// cannot be read. Never fails.
std::string GetRegValue(const std::string& keyPath, const std::string& valueName);
// Stores `text` as given, or deletes the value when `text` is blank. Never
// raises; returns false when the store refused the change (which is then
// lost), so that a caller acting for the user can tell the user.
bool SetRegValue(const std::string& keyPath, const std::string& valueName, const std::string& text);

// What a settings backend provides; one implementation per build.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // Opens or creates the key; false when it cannot.
  virtual bool CreateKey(const std::string& keyPath) = 0;
  virtual std::optional<std::string> Query(const std::string& keyPath,
                                           const std::string& valueName) = 0;
  virtual bool Set(const std::string& keyPath, const std::string& valueName,
                   const std::string& text) = 0;
  virtual bool Delete(const std::string& keyPath, const std::string& valueName) = 0;
};

// The backend in use: the build's default unless one was installed.
SettingsBackend& ActiveSettings();
// Installs a backend (nullptr restores the default). The caller keeps ownership.
void SetActiveSettings(SettingsBackend* backend);

}  // namespace bolvarin
