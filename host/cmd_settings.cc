#include <CLI/CLI.hpp>

#include "host/commands.h"

namespace bolvarin::host {

void AddSettingsCommand(CLI::App& app) {
  app.add_subcommand("settings", "Read or change a setting");
}
void UseSettingsFile(const std::string&) {}

}  // namespace bolvarin::host
