#include "ui/KelvoProgressCtrl.h"

#include "ui/BufferedPaint.h"
#include "ui/DisplayScale.h"
#include "ui/MyBitmap.h"

int CKelvoProgressCtrl::FillWidth(int position) {
  if (position < 0) return -1;
  int width = Scaled(458) * position / 100;
  // The caps add t(3) on each side: stop where the right cap meets the
  // track's end.
  int limit = Scaled(458) - 2 * Scaled(3);
  return width < limit ? width : limit;
}

HWND CKelvoProgressCtrl::Create(HWND parent, const RECT& rect, SkinResources& skin) {
  skin_ = &skin;
  static ATOM registered = 0;
  if (!registered) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CKelvoProgressCtrl::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    registered = ::RegisterClassExW(&wc);
  }
  hwnd_ = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                            parent, nullptr, ::GetModuleHandleW(nullptr), this);
  return hwnd_;
}

void CKelvoProgressCtrl::SetPos(int position) {
  position_ = position;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CKelvoProgressCtrl::Paint(HDC memory) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  // What the parent draws here first, so the rounded ends blend onto it.
  PaintParentBackground(hwnd_, memory);

  SkinResources& skin = *skin_;
  int x = client.left, y = client.top;
  int height = Scaled(6), cap = Scaled(3);
  BlendBitmap(memory, x, y, Scaled(458), height, skin.ProgressTrack(), 0, 0, Scaled(458), height);
  int width = FillWidth(position_);
  if (width >= 0) {
    HBITMAP fill = skin.ProgressFill();
    BITMAP info = {};
    if (fill) ::GetObjectW(fill, sizeof(info), &info);
    BlendBitmap(memory, x, y, cap, height, fill, 0, 0, cap, height);
    if (width > 0) BlendBitmap(memory, x + cap, y, width, height, fill, cap, 0, 1, height);
    BlendBitmap(memory, x + cap + width, y, cap, height, fill, info.bmWidth - cap, 0, cap, height);
  }
}

LRESULT CALLBACK CKelvoProgressCtrl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CKelvoProgressCtrl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (!self) break;
      self->hwnd_ = hwnd;
      return PaintWindowBuffered(hwnd, [self](HDC memory) { self->Paint(memory); });
    case WM_NCDESTROY:
      if (self) self->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
