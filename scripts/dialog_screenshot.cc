// Shows the configuration window of SyncBolvarin.dll through its
// ConfigureConduit entry, in the language given, and saves a picture of it
// as a 24-bit BMP file; then cancels it. Used by scripts/dialog-screenshots
// under an X server; it changes the prefix's conduit settings while it runs
// and removes them afterwards.
//
//   dialog_screenshot.exe DLL LANGUAGE-OFFSET OUTPUT.bmp
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/win/dialog_driver.h"
#include "windows/com/syncbolvarin_idl.h"

namespace {

// The window's pixels as they are on the screen, into a BMP file.
bool SaveWindow(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  std::vector<char> pixels(stride * static_cast<DWORD>(h));
  const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != h) return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: dialog_screenshot DLL LANGUAGE-OFFSET OUTPUT.bmp\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE dll = LoadLibraryA(argv[1]);
  auto getClass = dll == nullptr
                      ? nullptr
                      : reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
                            reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IHXClientNotify* notify = nullptr;
  if (getClass == nullptr ||
      FAILED(getClass(CLSID_CNotify, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_IHXClientNotify,
                                     reinterpret_cast<void**>(&notify)))) {
    std::fprintf(stderr, "dialog_screenshot: cannot create CNotify from %s\n", argv[1]);
    return 1;
  }
  factory->Release();
  bolvarin::testing::StoreSettings(
      {{"langue", argv[2]}, {"presync", "C:\\Outils\\sauvegarde.bat"}, {"definitif", "OUI"}});

  bool saved = false;
  const std::string output = argv[3];
  const std::string complaint = bolvarin::testing::WhileShown(
      [&] {
        BSTR path = SysAllocString(L"C:\\MaBolvarin");
        BSTR registry = SysAllocString(L"");
        LONG pref = 0, type = 0;
        notify->ConfigureConduit(path, registry, &pref, &type);
        SysFreeString(path);
        SysFreeString(registry);
      },
      [&](HWND dialog) {
        SetWindowPos(dialog, HWND_TOP, 16, 16, 0, 0, SWP_NOSIZE);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(1000);  // lets the X server finish drawing
        saved = SaveWindow(dialog, output);
        PostMessageW(bolvarin::testing::Item(dialog, IDCANCEL), BM_CLICK, 0, 0);
      });
  notify->Release();
  bolvarin::testing::StoreSettings();
  if (!complaint.empty() || !saved) {
    std::fprintf(stderr, "dialog_screenshot: %s\n",
                 complaint.empty() ? "the picture could not be taken" : complaint.c_str());
    return 1;
  }
  return 0;
}
