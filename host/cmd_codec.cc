#include <CLI/CLI.hpp>

#include "host/commands.h"

namespace bolvarin::host {

void AddCodecCommand(CLI::App& app) {
  auto* codec = app.add_subcommand("codec", "Convert between handheld records and desktop lines");
  codec->callback([] { throw CommandError("codec is not built yet"); });
}

}  // namespace bolvarin::host
