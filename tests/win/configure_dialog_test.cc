// The configuration dialog of the Windows build, driven in this process as a
// user would: the real window from the real template, with the portable
// form logic behind it. Also its texts, its layout and the file picker.
#include "windows/dialog/configure_dialog.h"

#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstring>
#include <map>

#include "config/settings.h"
#include "tests/win/dialog_driver.h"
#include "windows/dialog/configure_ids.h"
#include "windows/dialog/dialogue.h"

namespace bolvarin {
namespace {

using namespace bolvarin::testing;
using win::Dialogue;

// The window the form opened over itself (a picker, a message box).
HWND WindowOver(HWND form) {
  return WaitForDialog([&](HWND w) { return w != form && OfProcess(w); });
}

// The tooltip of a control of the form.
std::string TipOf(HWND form, int id) {
  const std::vector<HWND> tips =
      WindowsOfClass("tooltips_class32", [](HWND w) { return OfProcess(w); });
  Want("a tooltip window", !tips.empty());
  wchar_t text[128] = {};
  TTTOOLINFOW tool = {};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = form;
  tool.uId = reinterpret_cast<UINT_PTR>(Item(form, id));
  tool.lpszText = text;
  SendMessageW(tips.back(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
  return win::FromWide(text, CP_UTF8);
}

const std::string kTitle = "SyncBolvarin configuration Version  1.3.2";
const std::string kNothingStored =
    " presync=<absent> postsync=<absent> definitif=<absent> langue=<absent>";

class ConfigureDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    BOLVARIN_NEEDS_DISPLAY();
    StoreSettings();
    LangOffset = 0;
  }
  void TearDown() override {
    SetActiveSettings(nullptr);
    StoreSettings();
  }

  // Shows the form over the real window and this program's resources, the
  // settings `stored` and `syncType` handed in, while `drive` works it (its
  // complaint fails the test). Tells how it ended: "ok" or "cancelled", the
  // type and preference handed back, then the settings as stored.
  static std::string Session(const std::map<std::string, std::string>& stored, int32_t syncType,
                             const std::function<void(HWND)>& drive, win::FilePicker picker = {}) {
    StoreSettings(stored);
    ModuleInfo module{"SyncBolvarin", "Version ", 1, 3, 2, "C:\\conduit"};
    HINSTANCE self = GetModuleHandleW(nullptr);
    FConfigure form(win::MakeConfigureDialog(self, std::move(picker)), module,
                    win::ResourceTexts(self));
    form.nSyncType = syncType;
    EXPECT_EQ(WhileShown([&] { form.ShowModal(); }, drive), "");
    std::string out = std::string(form.bCancel ? "cancelled " : "ok ") +
                      std::to_string(form.nSyncType) + " " + std::to_string(form.nSyncPref);
    for (const char* name : {"presync", "postsync", "definitif", "langue"})
      out += std::string(" ") + name + "=" + StoredSetting(name);
    return out;
  }
};

TEST_F(ConfigureDialog, UserSessions) {
  // No language stored: French; Enter presses the default button, OK.
  EXPECT_EQ(Session({}, 1,
                    [](HWND d) {
                      Want("title", TextOf(d), kTitle);
                      Want("frame", TextOf(Item(d, IDC_FRMOPTIONS)), " Que faire");
                      Want("option", TextOf(Item(d, IDC_OPTPCTOHH)), "PC écrase KOVA");
                      Want("label", TextOf(Item(d, IDC_LABEL2)),
                           "Programme à lancer après la dockrun");
                      Want("language", TextOf(Item(d, IDC_CHKDEFAULT)), "Français");
                      Want("optSync selected", Checked(d, IDC_OPTSYNC));
                      PostKey(d, IDC_PRESYNC, VK_RETURN);
                    }),
            "ok 0 1 presync=<absent> postsync=<absent> definitif=NON langue=0");
  // English stored. Each browse button hands the picker its box's text and
  // shows the chosen file, or keeps the box when none is chosen (what else
  // the picker is asked: tests/configure_test.cc); the boxes are stored as
  // typed, spaces kept; Alt+O confirms.
  std::vector<std::string> asked;
  const auto picker = [&](FilePickRequest& request) {
    asked.push_back(request.FileName);
    if (asked.size() == 1) request.FileName = "C:\\tools\\pr\xE9.exe";
  };
  EXPECT_EQ(Session(
                {{"langue", "100"}, {"presync", "old.exe"}}, 3,
                [](HWND d) {
                  Want("option", TextOf(Item(d, IDC_OPTPCTOHH)), "Desktop overwrites handheld");
                  Want("optPCToHH selected", Checked(d, IDC_OPTPCTOHH));
                  Click(d, IDC_OPTDONOTHING);
                  Click(d, IDC_COMMAND1);
                  Want("chosen file", TextOf(Item(d, IDC_PRESYNC)), "C:\\tools\\pré.exe");
                  Type(d, IDC_PRESYNC, "  C:\\pr\xE9.exe  ");
                  Type(d, IDC_POSTSYNC, "post.exe");
                  Click(d, IDC_COMMAND2);
                  Click(d, IDC_CHKDEFINITIF);
                  PostMessageW(Item(d, IDC_CHKDEFINITIF), WM_SYSCHAR, L'o', 1 << 29);
                },
                picker),
            "ok 6 1 presync=  C:\\pr\xE9.exe   postsync=post.exe definitif=OUI langue=100");
  EXPECT_EQ(asked, (std::vector<std::string>{"old.exe", "post.exe"}));
  // English chosen, then Cancel: nothing stored. The browse buttons' tooltip
  // follows the language; the boxes' does not.
  EXPECT_EQ(Session({{"langue", "0"}, {"presync", "keep.exe"}, {"definitif", "oui"}}, 2,
                    [](HWND d) {
                      Want("definitif ticked from \"oui\"", Checked(d, IDC_CHKDEFINITIF));
                      Want("optHHToPC selected", Checked(d, IDC_OPTHHTOPC));
                      Choose(d, IDC_CBOLANGUES, 1);
                      Want("option", TextOf(Item(d, IDC_OPTSYNC)), "Synchronize");
                      Want("title", TextOf(d), kTitle);
                      Want("browse tip", TipOf(d, IDC_COMMAND1), "Search");
                      Want("box tip", TipOf(d, IDC_PRESYNC), "Programme à lancer avant la dockrun");
                      Type(d, IDC_PRESYNC, "");
                      PostClick(d, IDC_BTNCANCEL);
                    }),
            "cancelled 2 2 presync=keep.exe postsync=<absent> definitif=oui langue=0");
  // Esc, and the system's close command, cancel.
  for (const auto& close : std::vector<std::function<void(HWND)>>{
           [](HWND d) { PostKey(d, IDC_PRESYNC, VK_ESCAPE); },
           [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }})
    EXPECT_EQ(Session({}, 6, close), "cancelled 6 2" + kNothingStored);
}

// Without a picker, browsing opens the system's save dialog; cancelled, it
// leaves the box as it was.
TEST_F(ConfigureDialog, TheSystemsSaveDialogCancelledKeepsTheBox) {
  Session({}, 0, [](HWND d) {
    Type(d, IDC_POSTSYNC, "keep me.exe");
    PostClick(d, IDC_COMMAND2);
    HWND picker = WindowOver(d);
    Want("the form is disabled under the picker", !IsWindowEnabled(d));
    PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    Want("the save dialog closed", WaitGone(picker));
    Want("box", TextOf(Item(d, IDC_POSTSYNC)), "keep me.exe");
    Want("the form is enabled again", IsWindowEnabled(d) != FALSE);
    PostClick(d, IDC_BTNCANCEL);
  });
}

// A store that refuses every change, as the registry does for a user without
// the right to write the machine's settings.
struct RefusingStore : SettingsBackend {
  bool CreateKey(const std::string&) override { return true; }
  std::optional<std::string> Query(const std::string&, const std::string&) override { return {}; }
  bool Set(const std::string&, const std::string&, const std::string&) override { return false; }
  bool Delete(const std::string&, const std::string&) override { return false; }
};

TEST_F(ConfigureDialog, ARefusedWriteIsToldInTheLanguageAndTheWindowStays) {
  RefusingStore refusing;
  SetActiveSettings(&refusing);
  EXPECT_EQ(Session({}, 3,
                    [](HWND d) {
                      Choose(d, IDC_CBOLANGUES, 1);
                      Click(d, IDC_OPTDONOTHING);
                      PostClick(d, IDC_BTNOK);
                      HWND box = WindowOver(d);
                      // A message box's text is its control 0xFFFF.
                      Want("message", TextOf(Item(box, 0xFFFF)),
                           "The settings could not be saved.");
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                      Want("the message box closed", WaitGone(box));
                      Want("the window stays", IsWindow(d) && IsWindowVisible(d));
                      PostClick(d, IDC_BTNCANCEL);
                    }),
            "cancelled 3 2" + kNothingStored);
}

TEST(ConfigureDialogResources, StringTableIsThePortableTableInUtf16) {
  // windres reads the same list as the portable table; accents must survive.
  EXPECT_EQ(win::ResourceTexts(GetModuleHandleW(nullptr)).entries(), BuiltInTexts().entries());
}

// The save dialog as the configuration window uses it: the name, folder,
// filter and flags handed in, the chosen name handed back. (A cancel:
// TheSystemsSaveDialogCancelledKeepsTheBox.)
TEST(Dialogue, SaveDialogGetsItsBuffersAndFilterAndGivesBackTheChoice) {
  using namespace std::string_literals;
  Dialogue dialogue;
  dialogue.FileName = "a.exe";
  dialogue.Filter = "P|*.exe|All|*.*";
  dialogue.InitDir = "C:\\conduit";
  dialogue.flags = 6148;
  dialogue.SetFileDialogCall([&](int kind, OPENFILENAMEA& d) {
    EXPECT_EQ(kind, Dialogue::kSave);
    EXPECT_EQ(d.nMaxFile, 255u);
    EXPECT_EQ(d.Flags, 6148u);
    EXPECT_STREQ(d.lpstrInitialDir, "C:\\conduit");
    EXPECT_EQ(std::string(d.lpstrFilter, 17), "P\0*.exe\0All\0*.*\0\0"s);
    // The name, a zero, then spaces to the end of a buffer of size + 1.
    EXPECT_EQ(std::string(d.lpstrFile, 256), "a.exe\0"s + std::string(250, ' '));
    std::strcpy(d.lpstrFile, "C:\\x\\b.exe");
    return TRUE;
  });
  dialogue.ShowSave();
  EXPECT_EQ(dialogue.FileName, "C:\\x\\b.exe");
}

}  // namespace
}  // namespace bolvarin
