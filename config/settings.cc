// Reading and writing the conduit's settings through whichever backend is
// active. Neither operation raises: a store that cannot be read gives the
// empty text, which every reader takes as "not set", and a refused write
// returns false.
#include "config/settings.h"

#include <exception>

#include "base/text.h"
#include "config/settings_default.h"

namespace bolvarin {

namespace {
SettingsBackend* g_installed = nullptr;
}  // namespace

SettingsBackend& ActiveSettings() {
  return g_installed != nullptr ? *g_installed : DefaultSettings();
}

void SetActiveSettings(SettingsBackend* backend) { g_installed = backend; }

std::string GetRegValue(const std::string& keyPath, const std::string& valueName) {
  try {
    SettingsBackend& store = ActiveSettings();
    store.CreateKey(keyPath);
    return store.Query(keyPath, valueName).value_or(std::string());
  } catch (const std::exception&) {
    return {};
  }
}

bool SetRegValue(const std::string& keyPath, const std::string& valueName,
                 const std::string& text) {
  try {
    SettingsBackend& store = ActiveSettings();
    store.CreateKey(keyPath);
    // A cleared setting is deleted, never stored blank; a non-blank text is
    // stored exactly as given, spaces around it included.
    if (TrimBlanks(text).empty()) return store.Delete(keyPath, valueName);
    return store.Set(keyPath, valueName, text);
  } catch (const std::exception&) {
    return false;  // lost, as a registry write would be; the caller is told
  }
}

}  // namespace bolvarin
