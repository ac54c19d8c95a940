// Dialogue: the system's file-open and file-save dialogs behind a set of
// properties and one show operation each, like a common-dialog control
// without a window of its own. Only the file part is built.
//
// Every text is in the system's ANSI code page, as the dialogs it calls take
// it. Failures are reported only through APIReturn and ExtendedError; a
// cancelled dialog changes nothing.
#pragma once

// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace bolvarin::win {

class Dialogue {
 public:
  // Kinds of the file dialog.
  static constexpr int kOpen = 1;
  static constexpr int kSave = 2;

  // The dialog call for a kind; the system's GetOpenFileNameA or
  // GetSaveFileNameA unless a test installs its own.
  using FileDialogCall = std::function<BOOL(int kind, OPENFILENAMEA& dialog)>;

  std::string FileName;   // initial file name in, chosen full path out
  std::string FileTitle;  // chosen file name without its folder
  std::string Filter;     // "description|pattern" pairs
  int16_t FilterIndex = 0;
  int32_t flags = 0;  // passed unchanged to the dialog
  std::string InitDir;
  std::string DialogTitle;  // empty: the system's own title
  // Appended by the dialog to a name typed without one; never set passes none.
  std::optional<std::string> DefaultExt;
  int32_t MaxFileSize = 0;  // size of the name buffers; 0 or less means 255

  int32_t APIReturn() const { return apiReturn_; }
  int32_t ExtendedError() const { return extendedError_; }

  void ShowOpen() { ShowFile(kOpen); }
  void ShowSave() { ShowFile(kSave); }

  void SetFileDialogCall(FileDialogCall call) { call_ = std::move(call); }

 private:
  void ShowFile(int kind);

  int32_t apiReturn_ = 0;
  int32_t extendedError_ = 0;
  FileDialogCall call_;
};

}  // namespace bolvarin::win
