#include <CLI/CLI.hpp>

#include "host/commands.h"

namespace bolvarin::host {

void AddHandheldCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("handheld", "Inspect and edit the simulated handheld's image");
  cmd->callback([] { throw CommandError("handheld commands are not built yet"); });
}

}  // namespace bolvarin::host
