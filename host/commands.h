// The syncbolvarin command-line host: one registration function per command
// group, each in its own file.
#pragma once

#include <stdexcept>
#include <string>

namespace CLI {
class App;
}

namespace bolvarin::host {

// A command that cannot do what it was asked: main prints
// "syncbolvarin: MESSAGE" on standard error and exits with status 1.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void AddSyncCommand(CLI::App& app);      // host/cmd_sync.cc
void AddInfoCommand(CLI::App& app);      // host/cmd_info.cc
void AddSettingsCommand(CLI::App& app);  // host/cmd_settings.cc
void AddHandheldCommand(CLI::App& app);  // host/cmd_handheld.cc
void AddCodecCommand(CLI::App& app);     // host/cmd_codec.cc

// Points the settings store at `path` when it is not empty (the --settings
// option); otherwise the default settings file is used.
void UseSettingsFile(const std::string& path);

// The bundled sample handheld image (JSON), built into the binary.
const char* SampleImageJson();

}  // namespace bolvarin::host
