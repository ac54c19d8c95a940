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
#include <string>
#include <vector>

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
  HWND w = WaitForDialog([form](HWND w) { return w != form && SameThread(w, form); });
  if (w == nullptr) throw std::runtime_error("no window over the form");
  return w;
}

// Throws (which closes the window and fails the test) when `actual` is not
// `expected`.
void Want(const std::string& what, bool condition) {
  if (!condition) throw std::runtime_error(what);
}
void Want(const std::string& what, const std::string& actual, const std::string& expected) {
  Want(what + ": \"" + actual + "\", expected \"" + expected + "\"", actual == expected);
}
std::string Caption(HWND dialog, int id) { return TextOf(Item(dialog, id)); }

const std::string kTitle = "SyncBolvarin configuration Version  1.3.2";

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

  // Shows the form while `drive` works it; the driver's complaint fails the
  // test.
  static void Show(FConfigure& form, const std::function<void(HWND)>& drive) {
    EXPECT_EQ(WhileShown([&] { form.ShowModal(); }, drive), "");
  }

  // The form over the real window, with this program's resources.
  static FConfigure Form(win::FilePicker picker = {}) {
    ModuleInfo module{"SyncBolvarin", "Version ", 1, 3, 2, "C:\\conduit"};
    HINSTANCE self = GetModuleHandleW(nullptr);
    return FConfigure(win::MakeConfigureDialog(self, std::move(picker)), module,
                      win::ResourceTexts(self));
  }
};

struct DialogCase {
  const char* name;
  std::map<std::string, std::string> stored;  // settings before opening
  int32_t syncType;                           // handed in
  std::function<void(HWND)> drive;
  bool cancelled;
  int32_t syncTypeOut, syncPrefOut;
  std::map<std::string, std::string> storedAfter;  // every value, kAbsent when missing
};

TEST_F(ConfigureDialog, UserSessions) {
  const std::map<std::string, std::string> kNothingStored = {
      {"presync", kAbsent}, {"postsync", kAbsent}, {"definitif", kAbsent}, {"langue", kAbsent}};
  const std::vector<DialogCase> cases = {
      {"no language stored: French; Enter confirms",
       {},
       1,
       [](HWND d) {
         Want("title", TextOf(d), kTitle);
         Want("frame", Caption(d, IDC_FRMOPTIONS), " Que faire");
         Want("option", Caption(d, IDC_OPTPCTOHH), "PC écrase KOVA");
         Want("label", Caption(d, IDC_LABEL2), "Programme à lancer après la dockrun");
         Want("check box", Caption(d, IDC_CHKDEFINITIF), "Détruire les anciens fichiers");
         Want("default box", Caption(d, IDC_CHKDEFAULT), "Français");
         Want("ok", Caption(d, IDC_BTNOK), "&Ok");
         Want("cancel", Caption(d, IDC_BTNCANCEL), "Annuler");
         Want("language", Caption(d, IDC_CBOLANGUES), "Français");
         Want("optSync selected", Checked(d, IDC_OPTSYNC));
         Want("definitif clear", !Checked(d, IDC_CHKDEFINITIF));
         PostKey(d, IDC_PRESYNC, VK_RETURN);
       },
       false,
       0,
       1,
       {{"presync", kAbsent}, {"postsync", kAbsent}, {"definitif", "NON"}, {"langue", "0"}}},
      {"English stored; the form is stored as typed, spaces kept",
       {{"langue", "100"}, {"presync", "old.exe"}},
       3,
       [](HWND d) {
         Want("option", Caption(d, IDC_OPTPCTOHH), "Desktop overwrites handheld");
         Want("optPCToHH selected", Checked(d, IDC_OPTPCTOHH));
         Want("box", BoxText(d, IDC_PRESYNC), "old.exe");
         Click(d, IDC_OPTDONOTHING);
         Type(d, IDC_PRESYNC, "  C:\\pr\xE9.exe  ");
         Type(d, IDC_POSTSYNC, "post.exe");
         Click(d, IDC_CHKDEFINITIF);
         PostClick(d, IDC_BTNOK);
       },
       false,
       6,
       1,
       {{"presync", "  C:\\pr\xE9.exe  "},
        {"postsync", "post.exe"},
        {"definitif", "OUI"},
        {"langue", "100"}}},
      {"English chosen, then Cancel: nothing stored",
       {{"langue", "0"}, {"presync", "keep.exe"}, {"definitif", "oui"}},
       2,
       [](HWND d) {
         Want("definitif ticked from \"oui\"", Checked(d, IDC_CHKDEFINITIF));
         Want("optHHToPC selected", Checked(d, IDC_OPTHHTOPC));
         Choose(d, IDC_CBOLANGUES, 1);
         Want("option", Caption(d, IDC_OPTSYNC), "Synchronize");
         Want("cancel", Caption(d, IDC_BTNCANCEL), "Cancel");
         Want("default box", Caption(d, IDC_CHKDEFAULT), "English");
         Want("title", TextOf(d), kTitle);
         Type(d, IDC_PRESYNC, "");
         PostClick(d, IDC_BTNCANCEL);
       },
       true,
       2,
       2,
       {{"presync", "keep.exe"}, {"postsync", kAbsent}, {"definitif", "oui"}, {"langue", "0"}}},
      {"Esc cancels",
       {},
       6,
       [](HWND d) { PostKey(d, IDC_PRESYNC, VK_ESCAPE); },
       true,
       6,
       2,
       kNothingStored},
      {"the system's close command cancels",
       {},
       3,
       [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
       true,
       3,
       2,
       kNothingStored},
      {"English chosen; blank boxes delete their programs; Alt+O confirms",
       {{"presync", "x.exe"}, {"postsync", "y.exe"}, {"definitif", "NON"}},
       0,
       [](HWND d) {
         Choose(d, IDC_CBOLANGUES, 1);
         Type(d, IDC_PRESYNC, "   ");
         Type(d, IDC_POSTSYNC, "");
         Click(d, IDC_CHKDEFINITIF);
         Click(d, IDC_OPTHHTOPC);
         PostAccessKey(d, IDC_CHKDEFINITIF, L'o');
       },
       false,
       2,
       1,
       {{"presync", kAbsent}, {"postsync", kAbsent}, {"definitif", "OUI"}, {"langue", "100"}}},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    StoreSettings(c.stored);
    FConfigure form = Form();
    form.nSyncType = c.syncType;
    Show(form, c.drive);
    EXPECT_EQ(form.bCancel, c.cancelled);
    EXPECT_EQ(form.nSyncType, c.syncTypeOut);
    EXPECT_EQ(form.nSyncPref, c.syncPrefOut);
    for (const auto& [name, text] : c.storedAfter)
      EXPECT_EQ(StoredSetting(name.c_str()), text) << name;
  }
}

TEST_F(ConfigureDialog, TemplateKeepsTabOrderDefaultButtonPicturesAndTooltips) {
  FConfigure form = Form();
  Show(form, [](HWND d) {
    std::vector<int> order;
    for (HWND c = GetWindow(d, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      order.push_back(GetDlgCtrlID(c));
    }
    const std::vector<int> expected = {
        IDC_BTNOK,      IDC_BTNCANCEL, IDC_FRMOPTIONS,   IDC_CHKDEFAULT, IDC_OPTSYNC,
        IDC_OPTPCTOHH,  IDC_OPTHHTOPC, IDC_OPTDONOTHING, IDC_PRESYNC,    IDC_POSTSYNC,
        IDC_COMMAND1,   IDC_COMMAND2,  IDC_LABEL1,       IDC_LABEL2,     IDC_CHKDEFINITIF,
        IDC_CBOLANGUES, IDC_IMAGE1,    IDC_IMAGE2,       IDC_IMAGE3,     IDC_IMAGE4};
    Want("controls in tab order", order == expected);
    Want("btnOk is the default button",
         SendMessageW(d, DM_GETDEFID, 0, 0) == MAKELONG(IDOK, DC_HASDEFID));
    for (int id = IDC_IMAGE1; id <= IDC_IMAGE4; ++id) {
      RECT r;
      GetClientRect(Item(d, id), &r);
      Want("picture " + std::to_string(id) + " is 48 by 24",
           r.right - r.left == 48 && r.bottom - r.top == 24);
    }
    // The browse buttons' tooltip follows the language; the boxes' does not.
    const DWORD thread = GetWindowThreadProcessId(d, nullptr);
    const std::vector<HWND> tipWindows =
        WindowsOfClass("tooltips_class32", [thread](HWND w) { return OfThread(w, thread); });
    Want("a tooltip window", !tipWindows.empty());
    HWND tips = tipWindows.back();
    auto tip = [&](int id) {
      wchar_t text[128] = {};
      TTTOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.hwnd = d;
      tool.uId = reinterpret_cast<UINT_PTR>(Item(d, id));
      tool.lpszText = text;
      SendMessageW(tips, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
      return Utf8(text);
    };
    Want("browse tip", tip(IDC_COMMAND2), "Parcourir");
    Want("box tip", tip(IDC_POSTSYNC), "Programme à lancer après la dockrun");
    Choose(d, IDC_CBOLANGUES, 1);
    Want("browse tip", tip(IDC_COMMAND1), "Search");
    Want("box tip", tip(IDC_PRESYNC), "Programme à lancer avant la dockrun");
    PostClick(d, IDC_BTNCANCEL);
  });
}

TEST_F(ConfigureDialog, BrowseButtonsAskThePickerAndACancelKeepsTheBox) {
  std::vector<FilePickRequest> asked;
  FConfigure form = Form([&](FilePickRequest& request) {
    asked.push_back(request);
    if (asked.size() == 1) request.FileName = "C:\\tools\\pr\xE9.exe";
  });
  Show(form, [](HWND d) {
    Type(d, IDC_PRESYNC, "start.exe");
    Click(d, IDC_COMMAND1);
    Want("chosen file", BoxText(d, IDC_PRESYNC), "C:\\tools\\pr\xE9.exe");
    Choose(d, IDC_CBOLANGUES, 1);
    Type(d, IDC_POSTSYNC, "stay.exe");
    Click(d, IDC_COMMAND2);
    Want("cancelled browse", BoxText(d, IDC_POSTSYNC), "stay.exe");
    PostClick(d, IDC_BTNCANCEL);
  });
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].FileName, "start.exe");
  EXPECT_EQ(asked[0].InitDir, "C:\\conduit");
  EXPECT_EQ(asked[0].Filter, "Programmes|*.exe");
  EXPECT_EQ(asked[0].flags, 6148);
  EXPECT_EQ(asked[1].FileName, "stay.exe");
  EXPECT_EQ(asked[1].Filter, "Program|*.exe");
}

TEST_F(ConfigureDialog, TheSystemsSaveDialogCancelledKeepsTheBox) {
  FConfigure form = Form();
  Show(form, [](HWND d) {
    Type(d, IDC_PRESYNC, "keep me.exe");
    PostClick(d, IDC_COMMAND1);
    HWND picker = WindowOver(d);
    Want("the form is disabled under the picker", !IsWindowEnabled(d));
    PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    Want("the save dialog closed", WaitGone(picker));
    Want("box", BoxText(d, IDC_PRESYNC), "keep me.exe");
    Want("the form is enabled again", IsWindowEnabled(d) != FALSE);
    PostClick(d, IDC_BTNCANCEL);
  });
  EXPECT_TRUE(form.bCancel);
}

// A store that reads as usual but refuses every change, as the registry does
// for a user without the right to write the machine's settings.
class RefusingStore : public SettingsBackend {
 public:
  explicit RefusingStore(SettingsBackend& reads) : reads_(reads) {}
  bool CreateKey(const std::string& key) override { return reads_.CreateKey(key); }
  std::optional<std::string> Query(const std::string& key, const std::string& name) override {
    return reads_.Query(key, name);
  }
  bool Set(const std::string&, const std::string&, const std::string&) override { return false; }
  bool Delete(const std::string&, const std::string&) override { return false; }

 private:
  SettingsBackend& reads_;
};

TEST_F(ConfigureDialog, ARefusedWriteIsToldInTheLanguageAndTheWindowStays) {
  RefusingStore refusing(ActiveSettings());
  SetActiveSettings(&refusing);
  FConfigure form = Form();
  form.nSyncType = 3;
  Show(form, [](HWND d) {
    Choose(d, IDC_CBOLANGUES, 1);
    Click(d, IDC_OPTDONOTHING);
    PostClick(d, IDC_BTNOK);
    HWND box = WindowOver(d);
    Want("message", MessageText(box), "The settings could not be saved.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Want("the message box closed", WaitGone(box));
    Want("the window stays", IsWindow(d) && IsWindowVisible(d));
    PostClick(d, IDC_BTNCANCEL);
  });
  EXPECT_TRUE(form.bCancel);
  EXPECT_EQ(form.nSyncType, 3);
  EXPECT_EQ(form.nSyncPref, 2);
  EXPECT_EQ(StoredSetting("langue"), kAbsent);
}

TEST(ConfigureDialogResources, StringTableIsThePortableTableInUtf16) {
  // windres reads the same list as the portable table; accents must survive.
  EXPECT_EQ(win::ResourceTexts(GetModuleHandleW(nullptr)).entries(), BuiltInTexts().entries());
  wchar_t text[64] = {};
  ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), 7, text, 64), 0);
  EXPECT_STREQ(text, L"KOVA \u00e9crase PC");
}

TEST(Dialogue, FileDialogGetsItsBuffersAndFilterAndGivesBackTheChoice) {
  struct Case {
    const char* name;
    int kind;
    int32_t maxFileSize;
    std::string fileName, filter;
    std::optional<std::string> defaultExt;
    BOOL result;              // what the dialog returns
    std::string chosen;       // what it writes into the buffers on 1
    DWORD size;               // expected size fields
    std::string filterBytes;  // expected filter as passed
    std::string nameAfter;
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"save, default size", Dialogue::kSave, 0, "a.exe", "Program|*.exe", std::nullopt, 1,
       "C:\\x\\b.exe", 255, "Program\0*.exe\0\0"s, "C:\\x\\b.exe"},
      {"save cancelled", Dialogue::kSave, 10, "a.exe", "P|*.exe|All|*.*", ".exe", 0, "", 10,
       "P\0*.exe\0All\0*.*\0\0"s, "a.exe"},
      {"open, negative size", Dialogue::kOpen, -4, "", "", std::nullopt, 1, "C:\\y.txt", 255, "\0"s,
       "C:\\y.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialogue dialogue;
    dialogue.FileName = c.fileName;
    dialogue.Filter = c.filter;
    dialogue.MaxFileSize = c.maxFileSize;
    dialogue.DefaultExt = c.defaultExt;
    dialogue.InitDir = "C:\\conduit";
    dialogue.flags = 6148;
    int calledKind = 0;
    dialogue.SetFileDialogCall([&](int kind, OPENFILENAMEA& d) {
      calledKind = kind;
      EXPECT_EQ(d.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
      EXPECT_EQ(d.hwndOwner, nullptr);
      EXPECT_EQ(d.nMaxFile, c.size);
      EXPECT_EQ(d.nMaxFileTitle, c.size);
      EXPECT_EQ(d.Flags, 6148u);
      EXPECT_STREQ(d.lpstrInitialDir, "C:\\conduit");
      EXPECT_EQ(std::string(d.lpstrFilter, c.filterBytes.size()), c.filterBytes);
      if (c.defaultExt) {
        EXPECT_STREQ(d.lpstrDefExt, c.defaultExt->c_str());
      } else {
        EXPECT_EQ(d.lpstrDefExt, nullptr);
      }
      // The name, a zero, then spaces to the end of a buffer of size + 1.
      EXPECT_EQ(std::string(d.lpstrFile), c.fileName);
      EXPECT_EQ(std::string(d.lpstrFile + c.fileName.size() + 1, d.nMaxFile - c.fileName.size()),
                std::string(d.nMaxFile - c.fileName.size(), ' '));
      EXPECT_EQ(d.lpstrFileTitle[0], '\0');
      if (c.result == 1) {
        std::strcpy(d.lpstrFile, c.chosen.c_str());
        const size_t slash = c.chosen.find_last_of('\\');
        std::strcpy(d.lpstrFileTitle, c.chosen.substr(slash + 1).c_str());
      }
      return c.result;
    });
    if (c.kind == Dialogue::kOpen) {
      dialogue.ShowOpen();
    } else {
      dialogue.ShowSave();
    }
    EXPECT_EQ(calledKind, c.kind);
    EXPECT_EQ(dialogue.APIReturn(), c.result);
    EXPECT_EQ(dialogue.FileName, c.nameAfter);
    if (c.result == 1) {
      EXPECT_EQ(dialogue.FileTitle, c.chosen.substr(c.chosen.find_last_of('\\') + 1));
    }
  }
}

}  // namespace
}  // namespace bolvarin
