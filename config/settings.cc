#include "config/settings.h"

#include "base/error.h"

namespace bolvarin {

std::string GetRegValue(const std::string&, const std::string&) {
  Raise(err::kPlatform, "GetRegValue is not built yet");
}
void SetRegValue(const std::string&, const std::string&, const std::string&) {
  Raise(err::kPlatform, "SetRegValue is not built yet");
}
SettingsBackend& ActiveSettings() { Raise(err::kPlatform, "ActiveSettings is not built yet"); }
void SetActiveSettings(SettingsBackend*) {}

}  // namespace bolvarin
