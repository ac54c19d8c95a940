// POSIX only: where the settings file lives when no other file is named.
#pragma once

#include <string>

namespace bolvarin {

// $SYNCBOLVARIN_SETTINGS when set, else $XDG_CONFIG_HOME/syncbolvarin/settings
// (or ~/.config/syncbolvarin/settings when XDG_CONFIG_HOME is unset).
std::string DefaultSettingsPath();

}  // namespace bolvarin
