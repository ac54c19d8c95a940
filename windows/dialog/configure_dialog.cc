// The configuration dialog of the Windows build.
#include "windows/dialog/configure_dialog.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cwchar>
#include <exception>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "os/wide_text_win.h"
#include "windows/dialog/configure_ids.h"
#include "windows/dialog/dialogue.h"

namespace bolvarin::win {

namespace {

std::wstring FromUtf8(const std::string& text) { return ToWide(text, CP_UTF8); }
std::string ToUtf8(const wchar_t* text, size_t length) { return FromWide({text, length}, CP_UTF8); }

[[noreturn]] void RaiseLastError(const std::string& what) {
  Raise(err::kPlatform, what + " (system error " + std::to_string(GetLastError()) + ")");
}

// Each control of the form and its id in the template.
struct ControlId {
  Control control;
  int id;
};
constexpr ControlId kControlIds[] = {
    {Control::btnOk, IDC_BTNOK},
    {Control::btnCancel, IDC_BTNCANCEL},
    {Control::frmOptions, IDC_FRMOPTIONS},
    {Control::chkDefault, IDC_CHKDEFAULT},
    {Control::optSync, IDC_OPTSYNC},
    {Control::optPCToHH, IDC_OPTPCTOHH},
    {Control::optHHToPC, IDC_OPTHHTOPC},
    {Control::optDoNothing, IDC_OPTDONOTHING},
    {Control::PreSync, IDC_PRESYNC},
    {Control::PostSync, IDC_POSTSYNC},
    {Control::Command1, IDC_COMMAND1},
    {Control::Command2, IDC_COMMAND2},
    {Control::Label1, IDC_LABEL1},
    {Control::Label2, IDC_LABEL2},
    {Control::chkDefinitif, IDC_CHKDEFINITIF},
    {Control::cboLangues, IDC_CBOLANGUES},
};

Control ControlOf(int id) {
  for (const ControlId& c : kControlIds) {
    if (c.id == id) return c.control;
  }
  return Control::kWindow;
}

int IdOf(Control control) {
  for (const ControlId& c : kControlIds) {
    if (c.control == control) return c.id;
  }
  return 0;
}

// The program boxes' tooltips, which stay French whatever the language.
constexpr char kPreSyncTip[] = "Programme à lancer avant la dockrun";
constexpr char kPostSyncTip[] = "Programme à lancer après la dockrun";

constexpr int kPictureIds[] = {IDB_SYNC, IDB_PCTOHH, IDB_HHTOPC, IDB_DONOTHING};

class ConfigureDialog : public ConfigureView {
 public:
  ConfigureDialog(HINSTANCE resources, FilePicker picker)
      : resources_(resources), picker_(std::move(picker)) {}
  ~ConfigureDialog() override { Close(); }
  ConfigureDialog(const ConfigureDialog&) = delete;
  ConfigureDialog& operator=(const ConfigureDialog&) = delete;

  void Open() override {
    Close();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // No owner: the window stands alone, as the sync manager's own
    // configuration windows do.
    if (CreateDialogParamW(resources_, MAKEINTRESOURCEW(IDD_CONFIGURE), nullptr, &Proc,
                           reinterpret_cast<LPARAM>(this)) == nullptr) {
      RaiseLastError("The configuration window could not be created");
    }
    for (size_t i = 0; i < std::size(kPictureIds); ++i) {
      // Light grey in the pictures becomes the window's own face colour.
      pictures_[i] = static_cast<HBITMAP>(LoadImageW(resources_, MAKEINTRESOURCEW(kPictureIds[i]),
                                                     IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
      SendDlgItemMessageW(hwnd_, IDC_IMAGE1 + static_cast<int>(i), STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(pictures_[i]));
    }
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                            nullptr, resources_, nullptr);
    AddTool(Control::Command1, "");
    AddTool(Control::Command2, "");
    AddTool(Control::PreSync, kPreSyncTip);
    AddTool(Control::PostSync, kPostSyncTip);
  }

  void RunModal(FConfigure& form) override {
    if (hwnd_ == nullptr) Raise(err::kPlatform, "The configuration window is not open");
    form_ = &form;
    closeAsked_ = false;
    failure_ = nullptr;
    const std::vector<HWND> disabled = DisableOtherWindows();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (form.IsLoaded() && hwnd_ != nullptr && !closeAsked_ && !failure_) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        quit = true;
        quitCode = msg.wParam;
        break;
      }
      if (hwnd_ == nullptr || !IsDialogMessageW(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    for (HWND window : disabled) {
      if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    form_ = nullptr;
    // The request to end belongs to the loop around ours.
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  void Close() override {
    if (hwnd_ != nullptr) {
      HWND window = std::exchange(hwnd_, nullptr);
      DestroyWindow(window);  // its tooltip window goes with it
    }
    tips_ = nullptr;
    for (HBITMAP& picture : pictures_) {
      if (picture != nullptr) DeleteObject(std::exchange(picture, nullptr));
    }
  }

  void SetCaption(Control control, const std::string& text) override {
    Setting guard(*this);
    HWND window = control == Control::kWindow ? Window() : Item(control);
    if (!SetWindowTextW(window, FromUtf8(text).c_str())) {
      RaiseLastError(std::string("The caption of ") + ControlName(control) + " could not be set");
    }
  }

  void SetToolTip(Control control, const std::string& text) override {
    Item(control);
    std::wstring wide = FromUtf8(text);
    TTTOOLINFOW tool = Tool(control);
    tool.lpszText = wide.data();
    SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  void SetText(Control box, const std::string& text) override {
    Setting guard(*this);
    if (!SetWindowTextA(Item(box), text.c_str())) {
      RaiseLastError(std::string("The text of ") + ControlName(box) + " could not be set");
    }
  }

  void SetTicked(Control box, bool ticked) override {
    Setting guard(*this);
    SendMessageW(Item(box), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  void ClearOptions() override {
    Setting guard(*this);
    for (int id = IDC_OPTSYNC; id <= IDC_OPTDONOTHING; ++id) {
      SendDlgItemMessageW(Window(), id, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }

  void SelectOption(Control option) override {
    Setting guard(*this);
    const int id = IdOf(option);
    if (id < IDC_OPTSYNC || id > IDC_OPTDONOTHING) {
      Raise(err::kInvalidArgument, std::string(ControlName(option)) + " is not an option");
    }
    CheckRadioButton(Window(), IDC_OPTSYNC, IDC_OPTDONOTHING, id);
  }

  void SetLanguages(const std::vector<std::string>& names) override {
    Setting guard(*this);
    HWND list = Item(Control::cboLangues);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
      const LRESULT at =
          SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FromUtf8(name).c_str()));
      if (at == CB_ERR || at == CB_ERRSPACE) {
        Raise(err::kOutOfMemory, "The language list could not take \"" + name + "\"");
      }
    }
  }

  void SelectLanguage(int index) override {
    Setting guard(*this);
    SendMessageW(Item(Control::cboLangues), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }

  void ShowSave(FilePickRequest& request) override {
    // The picker has no owner; the form is disabled meanwhile, so that it
    // cannot be closed under the picker.
    struct Disabled {
      HWND window;
      explicit Disabled(HWND w) : window(w) { EnableWindow(window, FALSE); }
      ~Disabled() {
        EnableWindow(window, TRUE);
        SetActiveWindow(window);
      }
    } disabled(Window());
    if (picker_) {
      picker_(request);
      return;
    }
    Dialogue picker;
    picker.FileName = request.FileName;
    picker.InitDir = request.InitDir;
    // The ANSI file dialog takes the filter in the system's code page.
    picker.Filter = FromWide(FromUtf8(request.Filter), CP_ACP);
    picker.flags = request.flags;
    picker.ShowSave();
    request.FileName = picker.FileName;
  }

  void ShowMessage(const std::string& text) override {
    wchar_t title[256] = {};
    GetWindowTextW(Window(), title, static_cast<int>(std::size(title)));
    MessageBoxW(Window(), FromUtf8(text).c_str(), title, MB_OK | MB_ICONEXCLAMATION);
  }

 private:
  // Marks the form's own changes to the controls, whose notifications are
  // not the user's doing.
  struct Setting {
    ConfigureDialog& dialog;
    explicit Setting(ConfigureDialog& d) : dialog(d) { ++dialog.setting_; }
    ~Setting() { --dialog.setting_; }
  };

  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      reinterpret_cast<ConfigureDialog*>(lParam)->hwnd_ = window;
      return TRUE;
    }
    auto* self = reinterpret_cast<ConfigureDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr || self->hwnd_ != window) return FALSE;
    // Nothing may be thrown through the system's code: the failure is kept
    // and raised again once the message loop has stopped.
    try {
      return self->Handle(message, wParam, lParam);
    } catch (...) {
      self->failure_ = std::current_exception();
      return TRUE;
    }
  }

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
      case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_CLOSE:
        // The system's close command: the loop stops and the form treats the
        // window as cancelled.
        closeAsked_ = true;
        return TRUE;
      default:
        return FALSE;
    }
  }

  void Command(int id, int code) {
    if (form_ == nullptr || setting_ > 0) return;
    const Control control = ControlOf(id);
    switch (control) {
      case Control::btnOk:
        if (code == BN_CLICKED) form_->OkClicked();
        break;
      case Control::btnCancel:
        if (code == BN_CLICKED) form_->CancelClicked();
        break;
      case Control::optSync:
      case Control::optPCToHH:
      case Control::optHHToPC:
      case Control::optDoNothing:
        if (code == BN_CLICKED) form_->OptionClicked(control);
        break;
      case Control::chkDefinitif:
      case Control::chkDefault:
        if (code == BN_CLICKED) {
          form_->BoxTicked(control, IsDlgButtonChecked(hwnd_, id) == BST_CHECKED);
        }
        break;
      case Control::Command1:
      case Control::Command2:
        if (code == BN_CLICKED) form_->BrowseClicked(control);
        break;
      case Control::PreSync:
      case Control::PostSync:
        if (code == EN_CHANGE) form_->TextEdited(control, BoxText(Item(control)));
        break;
      case Control::cboLangues:
        if (code == CBN_SELCHANGE) {
          const LRESULT at = SendMessageW(Item(control), CB_GETCURSEL, 0, 0);
          if (at != CB_ERR) form_->LanguageClicked(static_cast<int>(at));
        }
        break;
      default:
        break;
    }
  }

  static std::string BoxText(HWND box) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(box)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(box, text.data(), static_cast<int>(text.size()))));
    return text;
  }

  HWND Window() const {
    if (hwnd_ == nullptr) Raise(err::kPlatform, "The configuration window is not open");
    return hwnd_;
  }

  HWND Item(Control control) const {
    HWND item = GetDlgItem(Window(), IdOf(control));
    if (item == nullptr) {
      Raise(err::kPlatform, std::string("The configuration window has no ") + ControlName(control));
    }
    return item;
  }

  TTTOOLINFOW Tool(Control control) const {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(control));
    return tool;
  }

  void AddTool(Control control, const std::string& text) {
    std::wstring wide = FromUtf8(text);
    TTTOOLINFOW tool = Tool(control);
    tool.lpszText = wide.data();
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  // Disables the thread's other visible, enabled top-level windows; returns
  // them so that they can be enabled again.
  std::vector<HWND> DisableOtherWindows() {
    struct Search {
      HWND self, tips;
      std::vector<HWND> found;
    } search{hwnd_, tips_, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          if (window != s->self && window != s->tips && IsWindowVisible(window) &&
              IsWindowEnabled(window)) {
            s->found.push_back(window);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) EnableWindow(window, FALSE);
    return search.found;
  }

  HINSTANCE resources_;
  FilePicker picker_;
  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  HBITMAP pictures_[std::size(kPictureIds)] = {};
  FConfigure* form_ = nullptr;
  bool closeAsked_ = false;
  int setting_ = 0;
  std::exception_ptr failure_;
};

}  // namespace

std::unique_ptr<ConfigureView> MakeConfigureDialog(HINSTANCE resources, FilePicker picker) {
  return std::make_unique<ConfigureDialog>(resources, std::move(picker));
}

StringTable ResourceTexts(HINSTANCE module) {
  // String resources come in blocks of sixteen: block b holds ids
  // (b - 1) * 16 to (b - 1) * 16 + 15.
  std::vector<UINT> blocks;
  EnumResourceNamesW(
      module, MAKEINTRESOURCEW(6) /* RT_STRING */,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR data) CALLBACK -> BOOL {
        if (IS_INTRESOURCE(name)) {
          reinterpret_cast<std::vector<UINT>*>(data)->push_back(
              static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
        }
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&blocks));
  std::sort(blocks.begin(), blocks.end());
  StringTable table;
  for (UINT block : blocks) {
    for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
      const wchar_t* text = nullptr;
      // With a size of 0, LoadStringW points into the resource itself.
      const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
      if (length > 0) table.Add(static_cast<int>(id), ToUtf8(text, static_cast<size_t>(length)));
    }
  }
  return table;
}

ModuleInfo ModuleInfoOf(HINSTANCE module) {
  ModuleInfo info;
  const std::wstring wide = ModuleFileNameWide(module);
  const std::string ansi = ModuleFileName(module);
  const size_t slash = wide.find_last_of(L"\\/");
  std::wstring file = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
  const size_t dot = file.find_last_of(L'.');
  if (dot != std::wstring::npos) file.resize(dot);
  info.name = ToUtf8(file.data(), file.size());
  const size_t ansiSlash = ansi.find_last_of("\\/");
  info.folder = ansiSlash == std::string::npos ? std::string() : ansi.substr(0, ansiSlash);

  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO),
                              MAKEINTRESOURCEW(16) /* RT_VERSION */);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return info;
  // The version functions may write into the block: they get a copy.
  std::vector<char> block(static_cast<const char*>(data),
                          static_cast<const char*>(data) + SizeofResource(module, found));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) &&
      fixed != nullptr) {
    info.major = HIWORD(fixed->dwFileVersionMS);
    info.minor = LOWORD(fixed->dwFileVersionMS);
    info.revision = LOWORD(fixed->dwFileVersionLS);
  }
  WORD* translation = nullptr;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &size) &&
      size >= 4) {
    wchar_t path[64];
    swprintf(path, std::size(path), L"\\StringFileInfo\\%04x%04x\\Comments", translation[0],
             translation[1]);
    wchar_t* comment = nullptr;
    if (VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&comment), &size) &&
        comment != nullptr) {
      info.comment = ToUtf8(comment, wcslen(comment));
    }
  }
  return info;
}

void UseConfigureDialog(HINSTANCE module) {
  static std::once_flag installed;
  std::call_once(installed, [module] {
    SetFConfigureFactory([module] {
      return std::make_unique<FConfigure>(MakeConfigureDialog(module), ModuleInfoOf(module),
                                          ResourceTexts(module));
    });
  });
}

}  // namespace bolvarin::win
