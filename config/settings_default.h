// The settings backend of the build, defined by the platform's settings file
// (the registry on Windows, a text file on POSIX systems). Only
// config/settings.cc uses it, to answer ActiveSettings() when no other backend
// was installed.
#pragma once

#include "config/settings.h"

namespace bolvarin {

SettingsBackend& DefaultSettings();

}  // namespace bolvarin
