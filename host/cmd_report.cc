// syncbolvarin report: the spending report (export/report.h) as one HTML file.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "base/text.h"
#include "config/settings.h"
#include "export/report.h"
#include "host/commands.h"
#include "host/host_os.h"

namespace bolvarin::host {

namespace {

struct ReportArgs {
  std::string output = "report.html";
  std::string from, to, language;
  std::string desktop;
  std::string file = "MaBolvarin.txt";
  std::string dataFile;
  std::string settings;
  ReportOptions options;
};

std::optional<MonthIndex> MonthOption(const std::string& text, const char* option) {
  if (text.empty()) return std::nullopt;
  const std::optional<MonthIndex> month = ParseMonth(text);
  if (!month) throw CommandError(std::string(option) + " \"" + text + "\": a month is MM/YYYY");
  return month;
}

}  // namespace

void AddReportCommand(CLI::App& app) {
  auto args = std::make_shared<ReportArgs>();
  auto* cmd = app.add_subcommand(
      "report",
      "Write a spending report: one self-contained HTML page with the period's income, spending "
      "and net, month by month, per category and the running balance");
  cmd->add_option("--output", args->output, "HTML file to write (replaced whole), or -")
      ->capture_default_str();
  cmd->add_option("--from", args->from, "First month, MM/YYYY (default: the ledger's first)");
  cmd->add_option("--to", args->to, "Last month, MM/YYYY (default: the ledger's last)");
  cmd->add_option("--language", args->language,
                  "fr or en (default: the conduit's \"langue\" setting)")
      ->check(CLI::IsMember({"fr", "en"}));
  AddDecimalsOption(*cmd, args->options.decimals);
  cmd->add_option("--currency", args->options.currency, "Currency shown after amounts")
      ->capture_default_str();
  cmd->add_option("--desktop", args->desktop, "Desktop folder of the data files");
  cmd->add_option("--file", args->file, "Name of the data file in --desktop")
      ->capture_default_str();
  cmd->add_option("--settings", args->settings, SettingsOptionHelp());
  cmd->add_option("DATAFILE", args->dataFile, "The data file (instead of --desktop)");
  cmd->callback([args] {
    ReportOptions options = args->options;
    options.from = MonthOption(args->from, "--from");
    options.to = MonthOption(args->to, "--to");
    if (options.from && options.to && *options.to < *options.from) {
      throw CommandError("--from " + args->from + " comes after --to " + args->to);
    }
    if (args->language.empty()) {
      UseSettingsFile(args->settings);
      options.languageOffset = TrimBlanks(GetRegValue(kSettingsKey, "langue")) == "100" ? 100 : 0;
    } else {
      options.languageOffset = args->language == "en" ? 100 : 0;
    }
    const LedgerBook book = ReadBookReportingProblems(
        LedgerSourceFile(args->dataFile, args->desktop, args->file), "report");
    WriteCommandOutput(args->output, BuildReport(book, options));
  });
}

}  // namespace bolvarin::host
