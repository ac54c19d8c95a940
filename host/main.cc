// syncbolvarin: plays the sync manager, so that the conduit runs, is tested
// and is useful without it: on Linux with the conduit linked in, on Windows
// with the conduit's COM server (see host/conduit_driver.h).
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <iostream>

#include "base/error.h"
#include "conduit/conduit_info.h"
#include "handheld/device.h"
#include "host/commands.h"
#include "host/host_os.h"

namespace {

// The options and arguments that name files or folders, in every command:
// each is made usable by this build (NativePath) before a command sees it.
constexpr const char* kPathOptions[] = {"--handheld", "--desktop", "--image", "DIR",
                                        "FILE",       "DATAFILE",  "--output"};

void TakeNativePaths(CLI::App& app) {
  for (CLI::Option* option : app.get_options()) {
    for (const char* name : kPathOptions) {
      if (option->get_name() == name) {
        option->transform([](std::string path) { return bolvarin::host::NativePath(path); }, "",
                          "native-path");
      }
    }
  }
  for (CLI::App* sub : app.get_subcommands({})) TakeNativePaths(*sub);
}

// Error numbers as their sources give them: small positive numbers in
// decimal, HRESULTs (negative) in hexadecimal.
std::string ErrorNumberText(int32_t number) {
  if (number >= 0) return std::to_string(number);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(number));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "syncbolvarin: keeps the handheld ledger \"MaBolvarin Data\" in step with desktop "
      "text files, playing the sync manager on a simulated handheld.",
      "syncbolvarin"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "syncbolvarin " + bolvarin::VersionText(),
                       "Print the conduit's version and exit");
  // "/home/me/ledger" is a path, never an option, on every system.
  app.allow_windows_style_options(false);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("syncbolvarin: ") + e.what() + " (see --help)\n";
  });

  bolvarin::host::AddSyncCommand(app);
  bolvarin::host::AddInfoCommand(app);
  bolvarin::host::AddSettingsCommand(app);
  bolvarin::host::AddHandheldCommand(app);
  bolvarin::host::AddCodecCommand(app);
  bolvarin::host::AddConfigureCommand(app);
  bolvarin::host::AddExportCommand(app);
  bolvarin::host::AddReportCommand(app);
  bolvarin::host::HostProcess process(app);
  TakeNativePaths(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0; every mistake on the
    // command line is a failure of the host.
    return app.exit(e) == 0 ? bolvarin::host::kExitOk : bolvarin::host::kExitFailed;
  } catch (const bolvarin::host::CommandError& e) {
    std::cerr << "syncbolvarin: " << e.what() << "\n";
    return 1;
  } catch (const bolvarin::handheld::ImageError& e) {
    std::cerr << "syncbolvarin: " << e.what() << "\n";
    return 1;
  } catch (const bolvarin::ConduitError& e) {
    std::cerr << "syncbolvarin: " << e.description() << " (error " << ErrorNumberText(e.number())
              << ")\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "syncbolvarin: " << e.what() << "\n";
    return 1;
  }
  return bolvarin::host::ExitStatus();
}

namespace bolvarin::host {

namespace {
int g_exitStatus = kExitOk;
}  // namespace

void SetExitStatus(int status) { g_exitStatus = status; }
int ExitStatus() { return g_exitStatus; }

std::optional<long long> WholeInteger(const std::string& text, int base) {
  try {
    size_t used = 0;
    const long long value = std::stoll(text, &used, base);
    if (used == text.size()) return value;
  } catch (const std::logic_error&) {
    // std::stoll's way of saying "no number" or "out of range".
  }
  return std::nullopt;
}

}  // namespace bolvarin::host
