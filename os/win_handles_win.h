// Small owners of Win32 handles, modules and heap blocks, and the text of a
// Win32 error, shared by the Windows implementations in os/ and config/ and
// by the Windows host.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace bolvarin::win {

// Owns a kernel handle (file, process, thread) and closes it once.
class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  // Gives the handle away without closing it.
  HANDLE Release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  // Closes now; false when CloseHandle failed (for files: data may be lost).
  bool Reset() {
    bool ok = true;
    if (valid()) ok = CloseHandle(h_) != 0;
    h_ = nullptr;
    return ok;
  }

 private:
  HANDLE h_;
};

// Owns an open registry key.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// Owns a module that LoadLibrary or LoadLibraryEx loaded, and frees it once.
struct FreeLibraryOnce {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibraryOnce>;

// Owns a block of the process heap that the system handed over, to be freed
// with HeapFree.
struct HeapFreeOnce {
  void operator()(void* block) const { HeapFree(GetProcessHeap(), 0, block); }
};
template <typename T>
using ProcessHeapBlock = std::unique_ptr<T, HeapFreeOnce>;

// The system's description of a Win32 error code, without its line end.
inline std::string ErrorMessage(DWORD code) {
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = n != 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) {
    char hex[16];
    wsprintfA(hex, "0x%08lX", static_cast<unsigned long>(code));
    text = std::string("error ") + hex;
  }
  return text;
}

}  // namespace bolvarin::win
