// The syncbolvarin command-line host: one registration function per command
// group, each in its own file.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "config/configure_view.h"
#include "export/ledger_book.h"

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

// The process's exit status: 0 when every command went well, 2 when a run
// finished but its log holds an error line, 1 when the host itself failed
// (main returns 1 for any error that reaches it).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRunLoggedErrors = 2;
// Set by a command that ends normally but must not exit with kExitOk.
void SetExitStatus(int status);
int ExitStatus();

void AddSyncCommand(CLI::App& app);      // host/cmd_sync.cc
void AddInfoCommand(CLI::App& app);      // host/cmd_info.cc
void AddSettingsCommand(CLI::App& app);  // host/cmd_settings.cc
void AddHandheldCommand(CLI::App& app);  // host/cmd_handheld.cc
void AddCodecCommand(CLI::App& app);     // host/cmd_codec.cc

void AddConfigureCommand(CLI::App& app);  // host/cmd_configure.cc
void AddExportCommand(CLI::App& app);     // host/cmd_export.cc
void AddReportCommand(CLI::App& app);     // host/cmd_report.cc

// `text` read whole as an integer in `base` (with std::stoll's syntax), or
// nothing when it is not one or does not fit; the caller words the error.
std::optional<long long> WholeInteger(const std::string& text, int base = 10);

// The configuration form as terminal lines (host/cmd_configure.cc): drawn
// on `out`, the user's actions read from `in` one a line.
std::unique_ptr<ConfigureView> NewTerminalView(std::istream& in, std::ostream& out);

// The data file an export or a report reads: DATAFILE, or the file NAME in
// the folder DIR; exactly one of the two must be given.
std::string LedgerSourceFile(const std::string& dataFile, const std::string& desktop,
                             const std::string& file);
// Reads the ledger; each line or file that cannot be read is named on
// standard error ("syncbolvarin: COMMAND: ...") and makes the exit status 2.
LedgerBook ReadBookReportingProblems(const std::string& dataFile, const char* command);
// The --decimals option of export and report.
void AddDecimalsOption(CLI::App& cmd, int& decimals);
// Writes `contents` to standard output ("-") or replaces the file whole.
void WriteCommandOutput(const std::string& output, const std::string& contents);

// The bundled sample handheld image (JSON), built into the binary.
const char* SampleImageJson();

}  // namespace bolvarin::host
