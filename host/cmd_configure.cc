// syncbolvarin configure: plays the sync manager's configure command. The
// conduit's configuration window runs as a plain terminal form: the form is
// drawn on standard error, the user's actions come from standard input one a
// line (so that a pipe works as well as a person), and what the sync manager
// gets back is printed on standard output.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

#include "base/text.h"
#include "config/fconfigure.h"
#include "config/settings.h"
#include "host/commands.h"
#include "host/conduit_driver.h"
#include "host/host_os.h"

namespace bolvarin::host {

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "language NAME, action sync|pc2hh|hh2pc|nothing, presync TEXT, postsync TEXT, "
    "delete yes|no, browse presync|postsync, ok, cancel";

struct ActionWord {
  const char* word;
  Control option;
};
constexpr ActionWord kActions[] = {{"sync", Control::optSync},
                                   {"pc2hh", Control::optPCToHH},
                                   {"hh2pc", Control::optHHToPC},
                                   {"nothing", Control::optDoNothing}};

// A caption without the "&" that marks its access key ("&&" is one "&").
std::string WithoutAccessKey(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

bool SameAsciiNoCase(const std::string& a, const std::string& b) {
  return UpperAscii(a) == UpperAscii(b);
}

// The window's controls as terminal lines. It keeps what the form set, as
// the controls of a real window would, and hands the user's lines to the
// form as the events a window would raise.
class TerminalView : public ConfigureView {
 public:
  TerminalView(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  void Open() override {
    captions_.clear();
    tooltips_.clear();
    texts_.clear();
    ticked_.clear();
    option_ = Control::kWindow;
    languages_.clear();
    language_ = -1;
  }
  void Close() override {}

  void RunModal(FConfigure& form) override {
    Draw();
    std::string line;
    while (form.IsLoaded() && std::getline(in_, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (Handle(form, line) && form.IsLoaded()) Draw();
    }
  }

  void SetCaption(Control control, const std::string& text) override { captions_[control] = text; }
  void SetToolTip(Control control, const std::string& text) override { tooltips_[control] = text; }
  void SetText(Control box, const std::string& text) override { texts_[box] = text; }
  void SetTicked(Control box, bool ticked) override { ticked_[box] = ticked; }
  void ClearOptions() override { option_ = Control::kWindow; }
  void SelectOption(Control option) override { option_ = option; }
  void SetLanguages(const std::vector<std::string>& names) override {
    languages_ = names;
    language_ = -1;
  }
  void SelectLanguage(int index) override { language_ = index; }

  // The picker asks for a file name on the next input line; an empty line
  // (or the end of input) cancels. A relative name is taken from the
  // picker's folder; the file must exist, as the browse buttons require.
  void ShowSave(FilePickRequest& request) override {
    out_ << "  " << request.Filter << " (" << request.InitDir
         << "): file name, or an empty line to cancel\n";
    std::string line;
    if (!std::getline(in_, line)) return;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (TrimBlanks(line).empty()) return;
    fs::path chosen = fs::path(request.InitDir) / line;
    std::error_code ec;
    if (!fs::is_regular_file(chosen, ec)) {
      out_ << "syncbolvarin: configure: no file \"" << chosen.string() << "\"\n";
      return;
    }
    request.FileName = chosen.string();
  }

  void ShowMessage(const std::string& text) override { out_ << "! " << text << "\n"; }

 private:
  std::string Caption(Control c) const {
    auto it = captions_.find(c);
    return it == captions_.end() ? std::string() : WithoutAccessKey(it->second);
  }
  std::string Text(Control c) const {
    auto it = texts_.find(c);
    return it == texts_.end() ? std::string() : it->second;
  }
  bool Ticked(Control c) const {
    auto it = ticked_.find(c);
    return it != ticked_.end() && it->second;
  }
  std::string ToolTip(Control c) const {
    auto it = tooltips_.find(c);
    return it == tooltips_.end() ? std::string() : it->second;
  }

  void Draw() {
    std::string out = "\n== " + Caption(Control::kWindow) + " ==\n  language:";
    for (size_t i = 0; i < languages_.size(); ++i) {
      out += static_cast<int>(i) == language_ ? " [" + languages_[i] + "]" : " " + languages_[i];
    }
    out += "\n  " + Caption(Control::frmOptions) + "\n";
    for (const ActionWord& action : kActions) {
      out += std::string("    (") + (option_ == action.option ? "*" : " ") + ") " +
             Caption(action.option) + "  (action " + action.word + ")\n";
    }
    out += "  " + Caption(Control::Label1) + ": [" + Text(Control::PreSync) +
           "]  (presync TEXT; browse presync: " + ToolTip(Control::Command1) + ")\n";
    out += "  " + Caption(Control::Label2) + ": [" + Text(Control::PostSync) +
           "]  (postsync TEXT; browse postsync: " + ToolTip(Control::Command2) + ")\n";
    out += std::string("  [") + (Ticked(Control::chkDefinitif) ? "x" : " ") + "] " +
           Caption(Control::chkDefinitif) + "  (delete yes|no)\n";
    out +=
        "  <" + Caption(Control::btnOk) + "> ok   <" + Caption(Control::btnCancel) + "> cancel\n";
    out_ << out << std::flush;
  }

  // Carries out one line; true when the form may have changed.
  bool Handle(FConfigure& form, const std::string& line) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return false;  // a blank line is no action
    const size_t space = line.find(' ', start);
    const std::string word = line.substr(start, space == std::string::npos ? space : space - start);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    const std::string arg = TrimBlanks(rest);

    if (word == "ok" && arg.empty()) {
      form.OkClicked();
      return false;
    }
    if (word == "cancel" && arg.empty()) {
      form.CancelClicked();
      return false;
    }
    if (word == "presync" || word == "postsync") {
      const Control box = word == "presync" ? Control::PreSync : Control::PostSync;
      texts_[box] = rest;
      form.TextEdited(box, rest);
      return true;
    }
    if (word == "delete" && (arg == "yes" || arg == "no")) {
      ticked_[Control::chkDefinitif] = arg == "yes";
      form.BoxTicked(Control::chkDefinitif, arg == "yes");
      return true;
    }
    if (word == "action") {
      for (const ActionWord& action : kActions) {
        if (arg == action.word) {
          option_ = action.option;
          form.OptionClicked(action.option);
          return true;
        }
      }
    }
    if (word == "language") {
      int found = -1;
      for (size_t i = 0; i < languages_.size() && found < 0; ++i) {
        if (languages_[i] == arg) found = static_cast<int>(i);
      }
      for (size_t i = 0; i < languages_.size() && found < 0; ++i) {
        if (SameAsciiNoCase(languages_[i], arg)) found = static_cast<int>(i);
      }
      if (found >= 0) {
        language_ = found;
        form.LanguageClicked(found);
        return true;
      }
      std::string names;
      for (const std::string& name : languages_) names += (names.empty() ? "" : ", ") + name;
      out_ << "syncbolvarin: configure: no language \"" << arg << "\" (the list: " << names
           << ")\n";
      return false;
    }
    if (word == "browse" && (arg == "presync" || arg == "postsync")) {
      form.BrowseClicked(arg == "presync" ? Control::Command1 : Control::Command2);
      return true;
    }
    out_ << "syncbolvarin: configure: not understood: \"" << line << "\" (use: " << kUsage << ")\n";
    return false;
  }

  std::istream& in_;
  std::ostream& out_;
  std::map<Control, std::string> captions_, tooltips_, texts_;
  std::map<Control, bool> ticked_;
  Control option_ = Control::kWindow;
  std::vector<std::string> languages_;
  int language_ = -1;
};

struct ConfigureOptions {
  std::string entry = "configure";
  std::string type = "0";
  std::string settings;
};

int32_t ParseType(const std::string& text) {
  const std::optional<long long> value = WholeInteger(text);
  if (value && *value >= INT32_MIN && *value <= INT32_MAX) return static_cast<int32_t>(*value);
  throw CommandError("--type: \"" + text + "\" is not a sync type code (a 32-bit integer)");
}

}  // namespace

std::unique_ptr<ConfigureView> NewTerminalView(std::istream& in, std::ostream& out) {
  return std::make_unique<TerminalView>(in, out);
}

void AddConfigureCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "configure",
      "Show the conduit's configuration form in the terminal, as the sync manager's configure "
      "command does, and print what it hands back");
  auto o = std::make_shared<ConfigureOptions>();
  cmd->add_option("--entry", o->entry,
                  "Entry point: configure (ConfigureConduit) or cfg (CfgConduit)")
      ->capture_default_str();
  cmd->add_option("--type", o->type,
                  "The sync type handed in (nSyncType; for cfg nSyncPerm, nSyncTemp and nSyncNew)")
      ->capture_default_str();
  cmd->add_option("--settings", o->settings, SettingsOptionHelp());
  cmd->callback([o] {
    if (o->entry != "configure" && o->entry != "cfg") {
      throw CommandError("--entry: \"" + o->entry + "\" is neither configure nor cfg");
    }
    const int32_t type = ParseType(o->type);
    UseSettingsFile(o->settings);
    std::unique_ptr<ConduitDriver> conduit = OpenConduit();
    ConduitDriver::Configuration values;
    std::string line;
    // nSyncPref goes in as 0 and comes back as 1 after OK; a cancelled form
    // hands nothing back, so it is still 0.
    values.nSyncPref = 0;
    if (o->entry == "configure") {
      values.nSyncType = type;
      conduit->ConfigureConduit(ProgramFolder(), kSettingsKey, values);
      line = "nSyncType=" + std::to_string(values.nSyncType) +
             " nSyncPref=" + std::to_string(values.nSyncPref);
    } else {
      values.nSyncPerm = values.nSyncTemp = values.nSyncNew = type;
      conduit->CfgConduit(values);
      line = "nSyncNew=" + std::to_string(values.nSyncNew) +
             " nSyncPref=" + std::to_string(values.nSyncPref) +
             " nSyncPerm=" + std::to_string(values.nSyncPerm) +
             " nSyncTemp=" + std::to_string(values.nSyncTemp);
    }
    const bool cancelled = values.nSyncPref == 0;
    std::cout << (cancelled ? "cancelled " : "") << line << std::endl;
  });
}

}  // namespace bolvarin::host
