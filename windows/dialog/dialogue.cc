// The file part of Dialogue over the ANSI common dialogs.
#include "windows/dialog/dialogue.h"

#include <vector>

namespace bolvarin::win {

namespace {

// The text up to its first zero character (all of it when there is none).
std::string UpToZero(const std::vector<char>& buffer) {
  std::string text(buffer.begin(), buffer.end());
  const size_t zero = text.find('\0');
  return zero == std::string::npos ? text : text.substr(0, zero);
}

// `text`, a zero, then spaces up to `size` characters; never shorter than the
// text and its zero, so a long initial name is passed whole (the dialog then
// refuses it by its size field rather than reading a cut name).
std::vector<char> NameBuffer(const std::string& text, size_t size) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  if (buffer.size() < size) buffer.resize(size, ' ');
  return buffer;
}

}  // namespace

void Dialogue::ShowFile(int kind) {
  if (kind != kOpen && kind != kSave) return;
  const DWORD n = MaxFileSize > 0 ? static_cast<DWORD>(MaxFileSize) : 255;

  // "a|b|c|d" becomes "a\0b\0c\0d\0\0": the pairs end with two zeros.
  std::string filter = Filter;
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  filter.push_back('\0');

  std::vector<char> file = NameBuffer(FileName, n + 1);
  std::vector<char> title = NameBuffer("", n + 1);

  // The layout without the later extensions, which every version takes.
  OPENFILENAMEA dialog{};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = n;
  dialog.lpstrFileTitle = title.data();
  dialog.nMaxFileTitle = n;
  dialog.lpstrInitialDir = InitDir.c_str();
  dialog.lpstrTitle = DialogTitle.empty() ? nullptr : DialogTitle.c_str();
  dialog.Flags = static_cast<DWORD>(flags);
  dialog.lpstrDefExt = DefaultExt ? DefaultExt->c_str() : nullptr;

  BOOL result;
  if (call_) {
    result = call_(kind, dialog);
  } else {
    result = kind == kOpen ? GetOpenFileNameA(&dialog) : GetSaveFileNameA(&dialog);
  }
  apiReturn_ = result;
  if (result == 1) {
    FileName = UpToZero(file);
    FileTitle = UpToZero(title);
  } else {
    // 0 is a cancel or a failure: CommDlgExtendedError tells them apart (0
    // for a cancel), so a dialog that could not open is not taken for one.
    extendedError_ = static_cast<int32_t>(CommDlgExtendedError());
  }
}

}  // namespace bolvarin::win
