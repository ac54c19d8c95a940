#include "os/wide_text_win.h"

#include "base/error.h"

namespace bolvarin::win {

std::wstring ToWide(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
  return out;
}

std::string FromWide(std::wstring_view text, UINT codePage, bool strict, const char* what) {
  if (text.empty()) return {};
  const DWORD flags = strict ? WC_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(text.size());
  const int n =
      WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0 && strict)
    Raise(err::kInvalidArgument, std::string(what) + " is not valid UTF-16 text");
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

// GetModuleFileName cuts the name to the buffer it is given: the buffer grows
// until the whole name fits.
template <class Char, class Get>
std::basic_string<Char> WholeModuleName(Get get) {
  std::basic_string<Char> path(MAX_PATH, Char{});
  for (;;) {
    const DWORD n = get(path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::string ModuleFileName(HMODULE module) {
  return WholeModuleName<char>(
      [module](char* buffer, DWORD size) { return GetModuleFileNameA(module, buffer, size); });
}

std::wstring ModuleFileNameWide(HMODULE module) {
  return WholeModuleName<wchar_t>(
      [module](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(module, buffer, size); });
}

std::string ModuleStem(HMODULE module) {
  std::string name = ModuleFileName(module);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace bolvarin::win
