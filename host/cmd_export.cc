// syncbolvarin export: the ledger for finance tools (export/exports.h).
// With the data file as its last argument it is a ready "postsync" program.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "base/error.h"
#include "base/mod_public.h"
#include "base/text.h"
#include "export/exports.h"
#include "host/commands.h"
#include "os/files.h"

namespace bolvarin::host {

namespace {

struct ExportArgs {
  std::string format;
  std::string output = "-";
  std::string desktop;
  std::string file = "MaBolvarin.txt";
  std::string dataFile;
  std::string csvProfile = "fr";
  std::string status = "uncleared,cleared,reconciled,reconciled";
  ExportOptions options;
};

}  // namespace

std::string LedgerSourceFile(const std::string& dataFile, const std::string& desktop,
                             const std::string& file) {
  if (dataFile.empty() == desktop.empty()) {
    throw CommandError("give either --desktop DIR or the data file, not both nor neither");
  }
  return dataFile.empty() ? JoinDesktopPath(desktop, file) : dataFile;
}

LedgerBook ReadBookReportingProblems(const std::string& dataFile, const char* command) {
  LedgerBook book;
  try {
    book = ReadLedgerBook(dataFile);
  } catch (const ConduitError& e) {
    throw CommandError(std::string(command) + ": " + e.description());
  }
  for (const std::string& problem : book.problems) {
    std::cerr << "syncbolvarin: " << command << ": " << problem << "\n";
  }
  if (!book.problems.empty()) SetExitStatus(kExitRunLoggedErrors);
  return book;
}

void WriteCommandOutput(const std::string& output, const std::string& contents) {
  if (output == "-") {
    std::cout << contents << std::flush;
    if (!std::cout) throw CommandError("cannot write to standard output");
    return;
  }
  try {
    ReplaceFile(output, contents, DeleteDefinitively);
  } catch (const ConduitError& e) {
    throw CommandError(e.description());
  }
}

void AddDecimalsOption(CLI::App& cmd, int& decimals) {
  cmd.add_option("--decimals", decimals,
                 "Decimals of an amount: the data file counts 10^-N of the currency unit")
      ->capture_default_str()
      ->check(CLI::Range(0, 9));
}

void AddExportCommand(CLI::App& app) {
  auto args = std::make_shared<ExportArgs>();
  auto* cmd = app.add_subcommand(
      "export",
      "Write the ledger for a finance tool: a spreadsheet (csv), qif, ofx, or a journal of "
      "ledger/hledger or beancount. Lines that cannot be read are named on standard error and "
      "left out (exit status 2)");
  cmd->add_option("--format", args->format, "csv, qif, ofx, ledger or beancount")
      ->required()
      ->check(CLI::IsMember({"csv", "qif", "ofx", "ledger", "beancount"}));
  cmd->add_option("--output", args->output,
                  "File to write (replaced whole), or - for standard output")
      ->capture_default_str();
  cmd->add_option("--desktop", args->desktop, "Desktop folder of the data files");
  cmd->add_option("--file", args->file, "Name of the data file in --desktop")
      ->capture_default_str();
  cmd->add_option("DATAFILE", args->dataFile, "The data file (instead of --desktop)");
  AddDecimalsOption(*cmd, args->options.decimals);
  cmd->add_option("--currency", args->options.currency, "Currency code (ISO 4217)")
      ->capture_default_str();
  cmd->add_option("--account", args->options.account,
                  "Balancing account of the ledger and beancount journals")
      ->capture_default_str();
  cmd->add_option("--csv-profile", args->csvProfile,
                  "fr: \";\", decimal comma, dd/mm/yyyy, BOM; iso: \",\", \".\", yyyy-mm-dd")
      ->capture_default_str()
      ->check(CLI::IsMember({"fr", "iso"}));
  cmd->add_option("--status", args->status,
                  "Marks of the statuses 0,1,2,3: each uncleared, cleared or reconciled")
      ->capture_default_str();
  cmd->callback([args] {
    ExportOptions options = args->options;
    options.format = *ExportFormatNamed(args->format);
    options.csvIso = args->csvProfile == "iso";
    const auto marks = ParseStatusMarks(args->status);
    if (!marks) {
      throw CommandError(
          "--status \"" + args->status +
          "\": four words separated by \",\", each uncleared, cleared or reconciled");
    }
    options.statusMarks = *marks;
    const LedgerBook book = ReadBookReportingProblems(
        LedgerSourceFile(args->dataFile, args->desktop, args->file), "export");
    std::string contents;
    try {
      contents = ExportBook(book, options);
    } catch (const ConduitError& e) {
      throw CommandError("export: " + e.description());
    }
    WriteCommandOutput(args->output, contents);
  });
}

}  // namespace bolvarin::host
