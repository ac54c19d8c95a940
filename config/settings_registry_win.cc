// The settings store of the Windows build: text values (REG_SZ) under one key
// of HKEY_LOCAL_MACHINE.
//
// Both the 32-bit and the 64-bit conduit keep the settings in the registry's
// 32-bit view, where a 32-bit conduit has always kept them, so settings made
// with one build are the other's too. On a 32-bit Windows that view is the
// only one.
//
// Every access opens (or creates) the key afresh and closes it again. The
// registry itself matches value names without regard to case, so "DEFINITIF"
// and "definitif" name one value. Values are single-byte text in the
// system's ANSI code page with their terminating zero byte.
#include <windows.h>

#include <string>
#include <vector>

#include "config/settings_default.h"
#include "os/win_handles_win.h"

namespace bolvarin {

namespace {

// Opens or creates the settings key in the 32-bit view.
LONG OpenKey(const std::string& keyPath, win::RegKey& key) {
  return RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                         KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, nullptr, key.out(), nullptr);
}

class RegistrySettings : public SettingsBackend {
 public:
  bool CreateKey(const std::string& keyPath) override {
    win::RegKey key;
    return OpenKey(keyPath, key) == ERROR_SUCCESS;
  }

  // A value of less than two bytes (nothing, or only its terminating zero)
  // reads as the empty text.
  std::optional<std::string> Query(const std::string& keyPath,
                                   const std::string& valueName) override {
    win::RegKey key;
    if (OpenKey(keyPath, key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    DWORD type = REG_SZ, size = 0;
    LONG rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    std::vector<char> buffer;
    // The value may grow between the two queries: ask again until it fits.
    do {
      if (size < 2) return std::string();
      buffer.assign(size + 1, '\0');
      rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    std::string text(buffer.data(), size);
    // The terminating zero is not part of the text; a value stored without
    // one keeps its last character.
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
  }

  bool Set(const std::string& keyPath, const std::string& valueName,
           const std::string& text) override {
    win::RegKey key;
    if (OpenKey(keyPath, key) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExA(key.get(), valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
  }

  bool Delete(const std::string& keyPath, const std::string& valueName) override {
    win::RegKey key;
    if (OpenKey(keyPath, key) != ERROR_SUCCESS) {
      return false;
    }
    const LONG rc = RegDeleteValueA(key.get(), valueName.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;  // already gone is fine
  }
};

}  // namespace

SettingsBackend& DefaultSettings() {
  static RegistrySettings backend;
  return backend;
}

}  // namespace bolvarin
