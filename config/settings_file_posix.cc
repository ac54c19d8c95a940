#include "base/error.h"
#include "config/settings_file.h"

namespace bolvarin {

bool FileSettings::CreateKey(const std::string&) { return false; }
std::optional<std::string> FileSettings::Query(const std::string&, const std::string&) {
  return std::nullopt;
}
bool FileSettings::Set(const std::string&, const std::string&, const std::string&) { return false; }
bool FileSettings::Delete(const std::string&, const std::string&) { return false; }
std::string DefaultSettingsPath() { Raise(err::kPlatform, "DefaultSettingsPath is not built yet"); }

}  // namespace bolvarin
