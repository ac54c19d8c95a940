// Driving a modal window of this process from a second thread, as a user
// would: the test's own thread shows the window (and is blocked in its
// message loop) while the driver finds it, reads and sets its controls, and
// presses its buttons.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "os/wide_text_win.h"

namespace bolvarin::testing {

// A window's text as UTF-8.
inline std::string TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return win::FromWide(text, CP_UTF8);
}

// The top-level windows of a class that `accept` takes, in the system's
// order. Windows of one Wine session are seen across processes, and
// messages sent to them reach the process that owns them. (The windows of
// this process are its test thread's.)
inline std::vector<HWND> WindowsOfClass(const char* className,
                                        const std::function<bool(HWND)>& accept) {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;)
    if (accept(w)) found.push_back(w);
  return found;
}
inline bool OfProcess(HWND window, DWORD process = GetCurrentProcessId()) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == process;
}

// Waits (up to `seconds`, polling) for a visible dialog that `accept`
// takes; throws when none came.
inline HWND WaitForDialog(const std::function<bool(HWND)>& accept, int seconds = 10) {
  for (int i = 0; i < seconds * 100; ++i) {
    std::vector<HWND> found =
        WindowsOfClass("#32770", [&](HWND w) { return IsWindowVisible(w) && accept(w); });
    if (!found.empty()) return found.front();
    Sleep(10);
  }
  throw std::runtime_error("the window did not appear");
}

// Waits for a window to be gone; false when it is still there after ten seconds.
inline bool WaitGone(HWND window) {
  for (int i = 0; i < 1000 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(10);
  return !IsWindow(window) || !IsWindowVisible(window);
}

// Runs `show` on this thread (it shows a window modally and returns when the
// window is closed) while `drive` works the first dialog that appears. When
// the driver finds no window, or throws, the window is closed so that `show`
// returns; the driver's complaint comes back as the result ("" when none).
inline std::string WhileShown(const std::function<void()>& show,
                              const std::function<void(HWND)>& drive) {
  std::string complaint;
  std::jthread driver([&] {
    try {
      HWND dialog = WaitForDialog([](HWND w) { return OfProcess(w); });
      drive(dialog);
      // The driver's last action closes the window; one still open after
      // that is a failure, not a hang.
      if (!WaitGone(dialog)) throw std::runtime_error("the window is still open");
    } catch (const std::exception& e) {
      complaint = e.what();
      for (HWND window : WindowsOfClass("#32770", [](HWND w) { return OfProcess(w); }))
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
  });
  show();  // the driver is joined also when this throws
  driver.join();
  return complaint;
}

// Throws (which closes the window and fails the test) when `condition` is
// false, or `actual` is not `expected`.
inline void Want(const std::string& what, bool condition) {
  if (!condition) throw std::runtime_error(what);
}
inline void Want(const std::string& what, const std::string& actual, const std::string& expected) {
  Want(what + ": \"" + actual + "\", expected \"" + expected + "\"", actual == expected);
}

// Control helpers for the driver thread. SendMessage waits for the window's
// thread to handle the message; a click that opens another modal window is
// posted instead, or the driver would wait for that window to close.
inline HWND Item(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) throw std::runtime_error("no control " + std::to_string(id));
  return item;
}
inline void Click(HWND dialog, int id) { SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
inline void PostClick(HWND dialog, int id) { PostMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
inline void Type(HWND dialog, int id, const std::string& ansi) {
  SendMessageA(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str()));
}
inline bool Checked(HWND dialog, int id) {
  return SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
// Chooses an entry of a drop-down list as a user's click does: selection,
// then the notification that selecting by program does not send.
inline void Choose(HWND dialog, int id, int index) {
  HWND list = Item(dialog, id);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
// A key pressed in a control, through the window's message loop.
inline void PostKey(HWND dialog, int id, WPARAM key) {
  PostMessageW(Item(dialog, id), WM_KEYDOWN, key, 0);
  PostMessageW(Item(dialog, id), WM_KEYUP, key, 0);
}

// A text value of the registry (name nullptr: the key's default value), or
// "<absent>".
inline std::string RegistryText(HKEY root, const std::string& key, const char* name) {
  char text[512] = {};
  DWORD size = sizeof text;
  if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return "<absent>";
  return text;
}

// The conduit's settings (HKEY_LOCAL_MACHINE\SoftWare\SyncMabolvarin) as
// both builds keep them: in the registry's 32-bit view. SettingsParent() is
// HKEY_LOCAL_MACHINE\SoftWare in that view, kSettingsSubkey the key below it.
inline constexpr char kSettingsSubkey[] = "SyncMabolvarin";
inline HKEY SettingsParent() {
  static const HKEY parent = [] {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SoftWare", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                    nullptr, &key, nullptr);
    return key;
  }();
  return parent;
}

// One setting, and all of them replaced by
// `values` (none: all removed).
inline std::string StoredSetting(const char* name) {
  return RegistryText(SettingsParent(), kSettingsSubkey, name);
}
inline void StoreSettings(const std::map<std::string, std::string>& values = {}) {
  RegDeleteTreeA(SettingsParent(), kSettingsSubkey);
  for (const auto& [name, text] : values) {
    RegSetKeyValueA(SettingsParent(), kSettingsSubkey, name.c_str(), REG_SZ, text.c_str(),
                    static_cast<DWORD>(text.size() + 1));
  }
}

// The windows cannot be shown without a display. scripts/test starts one and
// sets SYNCBOLVARIN_DIALOG_TESTS=1, which turns a missing display into a
// failure; elsewhere the window tests are skipped without one.
inline std::string Environment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? text : "";
}

}  // namespace bolvarin::testing

// Skips a window test when there is no display to show it on, unless the
// run requires one.
#define BOLVARIN_NEEDS_DISPLAY()                                                      \
  do {                                                                                \
    if (::bolvarin::testing::Environment("DISPLAY").empty()) {                        \
      if (::bolvarin::testing::Environment("SYNCBOLVARIN_DIALOG_TESTS") == "1")       \
        FAIL() << "DISPLAY is not set";                                               \
      GTEST_SKIP() << "no X display (scripts/test starts Xvfb for the window tests)"; \
    }                                                                                 \
  } while (0)
