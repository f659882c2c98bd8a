// Saves the installer's windows as PNG files, for scripts/run and for a look
// at the pages by eye: window_capture OUT.png [TITLE] [WAIT-MS]
// Captures the screen area of the first visible top-level window titled
// TITLE (default: the installer's title), waiting up to WAIT-MS for it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

namespace {

HWND FindVisibleWindow(const std::wstring& title) {
  struct Search {
    const std::wstring* title;
    HWND found;
  } search = {&title, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t text[256] = {};
        ::GetWindowTextW(window, text, 256);
        if (::IsWindowVisible(window) && *s->title == text) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  if (!size) return false;
  std::string buffer(size, '\0');
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring title = argc > 2 ? argv[2] : L"欢迎使用 KelvoAI云盘同步版";
  DWORD waitMs = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 10000;
  HWND window = nullptr;
  for (DWORD waited = 0; !(window = FindVisibleWindow(title)) && waited < waitMs; waited += 100) {
    ::Sleep(100);
  }
  if (!window) return 3;
  ::Sleep(300);  // let a page finish painting
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::SelectObject(memory, previous);

  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  int result = 4;
  {
    Gdiplus::Bitmap image(bitmap, nullptr);
    CLSID png;
    if (PngEncoder(&png) && image.Save(argv[1], &png, nullptr) == Gdiplus::Ok) result = 0;
  }
  Gdiplus::GdiplusShutdown(token);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return result;
}
