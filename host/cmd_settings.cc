// syncbolvarin settings get|set: reads and changes the conduit's settings
// ("langue", "presync", "postsync", "definitif") as the configuration dialog
// would, through the same settings store.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/text.h"
#include "config/settings.h"
#include "host/commands.h"
#include "host/host_os.h"

namespace bolvarin::host {

namespace {

struct SettingsOptions {
  std::string file;
  std::string name;
  std::string value;
};

void AddFileOption(CLI::App* cmd, SettingsOptions& o) {
  cmd->add_option("--settings", o.file, SettingsOptionHelp());
}

}  // namespace

void AddSettingsCommand(CLI::App& app) {
  auto* group = app.add_subcommand("settings", "Read or change one of the conduit's settings");
  group->require_subcommand(1);
  auto o = std::make_shared<SettingsOptions>();

  auto* get = group->add_subcommand(
      "get", "Print the value of setting NAME on one line (an empty line when it is not set)");
  get->add_option("NAME", o->name,
                  "Setting name: langue, presync, postsync or definitif (any case)")
      ->required();
  AddFileOption(get, *o);
  get->callback([o] {
    if (o->name.empty()) throw CommandError("the setting name is empty");
    UseSettingsFile(o->file);
    std::cout << GetRegValue(kSettingsKey, o->name) << "\n";
  });

  auto* set = group->add_subcommand(
      "set", "Store VALUE as setting NAME; without VALUE, or with a blank one, delete it");
  set->add_option("NAME", o->name,
                  "Setting name: langue, presync, postsync or definitif (any case)")
      ->required();
  set->add_option("VALUE", o->value,
                  "The text to store, exactly as given (quote it when it has blanks)");
  AddFileOption(set, *o);
  set->callback([o] {
    if (o->name.empty()) throw CommandError("the setting name is empty");
    UseSettingsFile(o->file);
    // The store never reports failures to the conduit; here the user asked
    // for a change and is told when it did not happen.
    if (!ActiveSettings().CreateKey(kSettingsKey)) {
      throw CommandError("cannot use " + SettingsStoreName(o->file));
    }
    SetRegValue(kSettingsKey, o->name, o->value);
    const std::string expected = TrimBlanks(o->value).empty() ? std::string() : o->value;
    if (GetRegValue(kSettingsKey, o->name) != expected) {
      throw CommandError("cannot store setting \"" + o->name + "\" in " +
                         SettingsStoreName(o->file));
    }
  });
}

}  // namespace bolvarin::host
