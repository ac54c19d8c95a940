// The configuration window: its texts, its opening, the user's actions, the
// settings it stores, the two configuration entry points, and the terminal
// form of the Linux host.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/mod_public.h"
#include "conduit/cnotify.h"
#include "conduit/conduit_info.h"
#include "config/fconfigure.h"
#include "config/texts.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "tests/lists_test_support.h"

namespace bolvarin {
namespace {

using Action = std::function<void(FConfigure&)>;
using Texts = std::vector<std::string>;

// The picker's answer (nothing: it is cancelled) or the description it fails with.
struct Pick {
  std::optional<std::string> answer = std::nullopt, failure = std::nullopt;
};

// What the window shows, kept as a real window's controls would keep it,
// and the user's actions to play while it is shown.
struct Screen {
  std::vector<Action> script;
  Pick pick = {};
  std::map<Control, std::string> captions = {}, texts = {};
  std::map<Control, bool> ticked = {};
  Control option = Control::kWindow;
  Texts languages = {};
  int language = -1;
  Texts order = {};  // the window opened and closed
  Texts messages = {};
  FilePickRequest picked = {};
};

class ScreenView : public ConfigureView {
 public:
  explicit ScreenView(Screen& s) : s_(s) {}
  void Open() override { s_.order.push_back("open"); }
  void RunModal(FConfigure& form) override {
    for (const Action& action : s_.script) {
      if (!form.IsLoaded()) break;
      action(form);
    }
  }
  void Close() override { s_.order.push_back("close"); }
  void SetCaption(Control c, const std::string& text) override { s_.captions[c] = text; }
  void SetToolTip(Control c, const std::string& text) override { s_.captions[c] = text; }
  void SetText(Control box, const std::string& text) override { s_.texts[box] = text; }
  void SetTicked(Control box, bool ticked) override { s_.ticked[box] = ticked; }
  void ClearOptions() override { s_.option = Control::kWindow; }
  void SelectOption(Control option) override { s_.option = option; }
  void SetLanguages(const Texts& names) override { s_.languages = names; }
  void SelectLanguage(int index) override { s_.language = index; }
  void ShowSave(FilePickRequest& request) override {
    s_.picked = request;
    if (s_.pick.failure) Raise(err::kPathAccess, *s_.pick.failure);
    if (s_.pick.answer) request.FileName = *s_.pick.answer;
  }
  void ShowMessage(const std::string& text) override { s_.messages.push_back(text); }

 private:
  Screen& s_;
};

// The user's actions, as a window raises them.
Action Language(int index) {
  return [index](FConfigure& f) { f.LanguageClicked(index); };
}
Action Option(Control c) {
  return [c](FConfigure& f) { f.OptionClicked(c); };
}
Action Type(Control box, std::string t) {
  return [=](FConfigure& f) { f.TextEdited(box, t); };
}
Action Tick(bool on) {
  return [on](FConfigure& f) { f.BoxTicked(Control::chkDefinitif, on); };
}
const Action kOk = [](FConfigure& f) { f.OkClicked(); };
const Action kCancel = [](FConfigure& f) { f.CancelClicked(); };

// The settings live in a file of the test's own (the terminal form's runs
// use it too).
class Configure : public ::testing::Test {
 protected:
  Configure() { UseTable(BuiltInTexts()); }
  ~Configure() override {
    SetFConfigureFactory(nullptr);
    LangOffset = 0;  // the next test's is a freshly loaded component's
  }
  void UseTable(const StringTable& table) {
    SetFConfigureFactory([this, table] {
      ModuleInfo module{kExeName,      kVersionComment,  kVersionMajor,
                        kVersionMinor, kVersionRevision, "/opt/conduit"};
      return std::make_unique<FConfigure>(std::make_unique<ScreenView>(screen_), module, table);
    });
  }
  // Shows the window through ConfigureConduit (CfgConduit when `cfg`) with
  // `script` and `pick`; returns {nSyncType (nSyncNew), nSyncPref} as
  // handed back (9 went in as nSyncPref, 50 as nSyncNew).
  std::pair<int32_t, int32_t> Show(std::vector<Action> script, int32_t type = 7, Pick pick = {},
                                   bool cfg = false) {
    screen_ = Screen{std::move(script), std::move(pick)};
    handheld::Device device;
    handheld::SimPlatform platform(device, handheld::RunRequest{});
    int32_t pref = 9, fresh = 50;
    if (cfg) CNotify(platform).CfgConduit(1, 2, "user", "folder", type, type, fresh, pref);
    if (!cfg) CNotify(platform).ConfigureConduit("path", "registry", pref, type);
    return {cfg ? fresh : type, pref};
  }
  std::string Get(const std::string& name) { return GetRegValue(kSettingsKey, name); }
  // The four settings OK stores, "" for those not set.
  Texts Stored() { return {Get("presync"), Get("postsync"), Get("definitif"), Get("langue")}; }

  testing::TempDir dir_;
  lists_testing::ScopedSettings settings_{dir_.File("settings")};
  Screen screen_;
};

// The stored offset selects its language when the table has it; one that
// matches none keeps the current language and selects no entry. Opening
// captions every control and both browse buttons, in the language chosen;
// a missing text (German's 9) stops the captions at Label1, and the rest of
// the opening runs all the same.
TEST_F(Configure, OpeningChoosesTheLanguageFromTheSetting) {
  struct Case {
    std::optional<std::string> langue;
    int16_t offsetBefore;
    bool german;
    int selected;
    int16_t offsetAfter;
  } cases[] = {
      {std::nullopt, 100, false, 0, 0}, {"100", 0, false, 1, 100}, {" 1e2 ", 0, false, 1, 100},
      {"abc", 100, false, 0, 0},        {"50", 0, false, -1, 0},   {"50", 100, false, -1, 100},
      {"200", 0, false, -1, 0},         {"200", 0, true, 2, 200},
  };
  // A third language block, as a later table could add it: the French texts
  // marked "de", and its own name; its label of the presync box is missing.
  StringTable german = BuiltInTexts();
  for (int id = 1; id <= 15; ++id) {
    if (id != 9) german.Add(200 + id, id == 4 ? "Deutsch" : "de " + german.Load(id));
  }
  SetRegValue(kSettingsKey, "presync", "before.sh");
  const Texts names = {"Français", "English", "Deutsch"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.langue.value_or("(absent)") + (c.german ? " german" : ""));
    SetRegValue(kSettingsKey, "langue", c.langue.value_or(""));
    UseTable(c.german ? german : BuiltInTexts());
    LangOffset = c.offsetBefore;
    Show({});
    EXPECT_EQ(screen_.languages, Texts(names.begin(), names.begin() + (c.german ? 3 : 2)));
    EXPECT_EQ(screen_.language, c.selected);
    ASSERT_EQ(LangOffset, c.offsetAfter);
    EXPECT_EQ(screen_.captions[Control::kWindow],
              std::string(c.german ? "SyncBolvarin de " : "SyncBolvarin ") +
                  "configuration Version  1.3.2");
    EXPECT_EQ(screen_.captions[Control::chkDefault], names[c.offsetAfter / 100]);
    EXPECT_EQ(screen_.captions.size(), c.german ? 7u : 14u);
    EXPECT_EQ(screen_.texts[Control::PreSync], "before.sh");
    EXPECT_EQ(screen_.option, Control::optSync);
    EXPECT_EQ(screen_.order, (Texts{"open", "close"}));  // closed without OK or Cancel
  }
}

// Each entry point opens the window on the action handed in and hands back
// the one chosen only after OK, CfgConduit in nSyncNew.
TEST_F(Configure, EntryPointsHandBackTheChosenActionOnlyAfterOk) {
  struct Case {
    bool cfg;
    int32_t in;
    std::vector<Action> script;
    Control shown;
    std::pair<int32_t, int32_t> out;  // nSyncType (nSyncNew) and nSyncPref handed back
  } cases[] = {
      {false, 0, {kOk}, Control::optSync, {0, 1}},
      {false, 1, {kOk}, Control::optSync, {0, 1}},
      {false, 2, {kOk}, Control::optHHToPC, {2, 1}},
      {false, 3, {kOk}, Control::optPCToHH, {3, 1}},
      {false, 6, {kOk}, Control::optDoNothing, {6, 1}},
      {false, 0, {Option(Control::optDoNothing), kOk}, Control::optSync, {6, 1}},
      {false, 6, {Option(Control::optPCToHH), Language(1), kCancel}, Control::optDoNothing, {6, 9}},
      {true, 1, {Option(Control::optHHToPC), kOk}, Control::optSync, {2, 1}},
      {true, 3, {Option(Control::optSync), kOk}, Control::optPCToHH, {0, 1}},
      {true, 2, {Option(Control::optDoNothing), kCancel}, Control::optHHToPC, {50, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cfg ? "cfg " : "configure ") + std::to_string(c.in));
    EXPECT_EQ(Show(c.script, c.in, {}, c.cfg), c.out);
    EXPECT_EQ(screen_.option, c.shown);  // as opened
    EXPECT_EQ(Get("langue"), "0");       // a language chosen, then cancelled, is not stored
  }
}

// OK stores the boxes as typed (a blank one deletes its setting), the
// deletion choice and the language; "definitif" is read in any case, by the
// window and by a run.
TEST_F(Configure, OkStoresTheSettingsAndDefinitifIsReadInAnyCase) {
  SetRegValue(kSettingsKey, "postsync", "old-view");
  Show({Type(Control::PreSync, "  run.sh  "), Type(Control::PostSync, ""), Tick(true), Language(1),
        kOk});
  EXPECT_EQ(Stored(), (Texts{"  run.sh  ", "", "OUI", "100"}));
  Show({Type(Control::PreSync, "   "), Tick(false), Language(0), kOk});
  EXPECT_EQ(Stored(), (Texts{"", "", "NON", "0"}));
  for (const auto& [stored, ticked] : std::vector<std::pair<std::string, bool>>{
           {"OUI", true}, {"oui", true}, {"NON", false}, {"YES", false}, {" OUI", false}}) {
    SetRegValue(kSettingsKey, "definitif", stored);
    // A run reads the setting by the same rule.
    handheld::Device device;
    handheld::SimPlatform platform(device, {6, dir_.path()});
    CNotify(platform).BeginProcess();
    EXPECT_EQ(DeleteDefinitively, ticked) << stored;
    Show({kOk});
    EXPECT_EQ(screen_.ticked[Control::chkDefinitif], ticked) << stored;
    EXPECT_EQ(Get("definitif"), ticked ? "OUI" : "NON") << stored;
  }
}

// Browse fills the box unless the picker is cancelled; a picker that fails
// ends the browse there, the box unchanged, and tells the user why.
TEST_F(Configure, BrowseFillsTheBoxAndAFailedBrowseSaysWhy) {
  struct Case {
    Control button;
    std::string box;
    Pick pick;
    int language;
    std::string expected;
  } cases[] = {
      {Control::Command1, "", {}, 0, ""},
      {Control::Command2, "a.exe", {}, 1, "a.exe"},
      {Control::Command1, "a.exe", {"   "}, 0, "a.exe"},
      {Control::Command2, "a.exe", {"/bin/b.exe"}, 1, "/bin/b.exe"},
      {Control::Command1, "a.exe", {"/bin/b.exe"}, 0, "/bin/b.exe"},
      {Control::Command2, "a.exe", {"b.exe", "no file dialog here"}, 0, "a.exe"},
  };
  for (const Case& c : cases) {
    const char* name = c.button == Control::Command1 ? "presync" : "postsync";
    SCOPED_TRACE(std::string(name) + " " + c.pick.answer.value_or("(cancelled)"));
    SetRegValue(kSettingsKey, name, c.box);
    Show({Language(c.language), [&](FConfigure& f) { f.BrowseClicked(c.button); }, kOk}, 7, c.pick);
    EXPECT_EQ(screen_.messages, c.pick.failure ? Texts{*c.pick.failure} : Texts{});
    EXPECT_EQ(screen_.texts[c.button == Control::Command1 ? Control::PreSync : Control::PostSync],
              c.expected);
    EXPECT_EQ(screen_.picked.FileName, c.box);
    EXPECT_EQ(screen_.picked.InitDir, "/opt/conduit");
    EXPECT_EQ(screen_.picked.Filter, c.language == 0 ? "Programmes|*.exe" : "Program|*.exe");
    EXPECT_EQ(screen_.picked.flags, 6148);
    EXPECT_EQ(Get(name), c.expected);
  }
}

// The terminal form of the Linux host, through a pipe (the Windows host shows
// the window: tests/win/host_test.cc, and says when settings are refused:
// tests/win/configure_dialog_test.cc).
#ifndef _WIN32
TEST_F(Configure, TerminalFormPlaysStandardInput) {
  auto run = [&](std::vector<std::string> args, const std::string& input,
                 std::string settings = "") {
    args.insert(args.begin(), "configure");
    args.insert(args.end(), {"--settings", settings.empty() ? settings_.file.path() : settings});
    return testing::RunHost(args, input);
  };
  auto r = run({"--type", "6"}, "ok\n");
  EXPECT_EQ(r.out, "nSyncType=6 nSyncPref=1\n") << r.err;
  EXPECT_NE(r.err.find("== SyncBolvarin configuration Version  1.3.2 =="), std::string::npos);
  EXPECT_NE(r.err.find("(*) Ne rien faire"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("browse postsync: Parcourir)"), std::string::npos) << r.err;

  const std::string picked = settings_.file.path();  // browse takes an existing file
  r = run({"--entry", "cfg", "--type", "1"},
          "language English\naction hh2pc\r\npresync  my prog \ndelete yes\nbrowse postsync\n" +
              picked + "\nok\n");
  EXPECT_EQ(r.out, "nSyncNew=2 nSyncPref=1 nSyncPerm=1 nSyncTemp=1\n") << r.err;
  EXPECT_NE(r.err.find("(*) Handheld overwrites desktop"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[x] Delete older files"), std::string::npos) << r.err;
  EXPECT_EQ(Stored(), (Texts{" my prog ", picked, "OUI", "100"}));

  // An unknown line is answered and the form goes on; the end of the input
  // cancels, and nothing is stored.
  r = run({"--type", "3"}, "presync\nbogus\nlanguage Klingon\naction pc2hh\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "cancelled nSyncType=3 nSyncPref=0\n");
  EXPECT_NE(r.err.find("not understood: \"bogus\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no language \"Klingon\""), std::string::npos) << r.err;

  // A store that refuses the change (its file cannot be made below a file):
  // each OK says so in the current language, and the form stays open.
  testing::WriteFile(dir_.File("file"), "");
  r = run({"--entry", "cfg", "--type", "2"}, "ok\nlanguage English\nok\ncancel\n",
          dir_.File("file/settings"));
  EXPECT_EQ(r.out, "cancelled nSyncNew=2 nSyncPref=0 nSyncPerm=2 nSyncTemp=2\n");
  EXPECT_NE(r.err.find("! Les paramètres n'ont pas pu être enregistrés."), std::string::npos);
  EXPECT_NE(r.err.find("! The settings could not be saved."), std::string::npos) << r.err;
  for (const auto& args : std::vector<Texts>{{"--entry", "setup"}, {"--type", "abc"}}) {
    r = run(args, "ok\n");
    EXPECT_EQ(r.status, 1) << args[1];
    EXPECT_NE(r.err.find(args[1]), std::string::npos) << r.err;
  }
}
#endif

}  // namespace
}  // namespace bolvarin
