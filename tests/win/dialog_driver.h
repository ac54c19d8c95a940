// Driving a modal window of this process from a second thread, as a user
// would: the test's own thread shows the window (and is blocked in its
// message loop) while the driver finds it, reads and sets its controls, and
// presses its buttons.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace bolvarin::testing {

// A window's text as UTF-8.
inline std::string TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

// The visible dialog windows (#32770) of a thread, in the system's order.
inline std::vector<HWND> DialogsOf(DWORD thread) {
  std::vector<HWND> found;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (std::string(name) == "#32770" && IsWindowVisible(window))
          reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The visible dialog windows (#32770) of another process: windows of one
// Wine session are seen across processes, and messages sent to them reach
// the process that owns them.
inline std::vector<HWND> DialogsOfProcess(DWORD process) {
  struct Search {
    DWORD process;
    std::vector<HWND> found;
  } search{process, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (owner == s->process && std::string(name) == "#32770" && IsWindowVisible(window))
          s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits for the first dialog of another process (up to twenty seconds, as
// the process starts first); throws when none came.
inline HWND WaitForDialogOfProcess(DWORD process) {
  for (int i = 0; i < 2000; ++i) {
    std::vector<HWND> found = DialogsOfProcess(process);
    if (!found.empty()) return found.front();
    Sleep(10);
  }
  throw std::runtime_error("the window did not appear");
}

// Waits (up to ten seconds, polling) for a visible dialog of `thread` that
// `accept` takes; nullptr when none came.
inline HWND WaitForDialog(DWORD thread, const std::function<bool(HWND)>& accept) {
  for (int i = 0; i < 1000; ++i) {
    for (HWND window : DialogsOf(thread)) {
      if (accept(window)) return window;
    }
    Sleep(10);
  }
  return nullptr;
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
  const DWORD thread = GetCurrentThreadId();
  std::string complaint;
  std::thread driver([&] {
    HWND dialog = WaitForDialog(thread, [](HWND) { return true; });
    if (dialog == nullptr) {
      complaint = "the window did not appear";
      return;
    }
    try {
      drive(dialog);
      // The driver's last action closes the window; one still open after
      // that is a failure, not a hang.
      if (!WaitGone(dialog)) throw std::runtime_error("the window is still open");
    } catch (const std::exception& e) {
      complaint = e.what();
      for (HWND window : DialogsOf(thread)) PostMessageW(window, WM_CLOSE, 0, 0);
    }
  });
  try {
    show();
  } catch (...) {
    driver.join();
    throw;
  }
  driver.join();
  return complaint;
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
inline std::string BoxText(HWND dialog, int id) {
  char text[512] = {};
  GetWindowTextA(Item(dialog, id), text, sizeof text);
  return text;
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

// An access key (Alt and a letter) pressed in a control.
inline void PostAccessKey(HWND dialog, int id, wchar_t letter) {
  PostMessageW(Item(dialog, id), WM_SYSCHAR, letter, 1 << 29);
}

// The text of a message box (its static controls, joined).
inline std::string MessageText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        if (std::string(name) == "Static") *reinterpret_cast<std::string*>(data) += TextOf(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// The windows cannot be shown without a display. scripts/test starts one and
// sets SYNCBOLVARIN_DIALOG_TESTS=1, which turns a missing display into a
// failure; elsewhere the window tests are skipped without one.
inline bool DisplayMissing() {
  const char* display = std::getenv("DISPLAY");
  return display == nullptr || display[0] == '\0';
}
inline bool DisplayRequired() {
  const char* required = std::getenv("SYNCBOLVARIN_DIALOG_TESTS");
  return required != nullptr && std::string(required) == "1";
}

}  // namespace bolvarin::testing

// Skips a window test when there is no display to show it on, unless the
// run requires one.
#define BOLVARIN_NEEDS_DISPLAY()                                                      \
  do {                                                                                \
    if (::bolvarin::testing::DisplayMissing()) {                                      \
      if (::bolvarin::testing::DisplayRequired()) FAIL() << "DISPLAY is not set";     \
      GTEST_SKIP() << "no X display (scripts/test starts Xvfb for the window tests)"; \
    }                                                                                 \
  } while (0)
