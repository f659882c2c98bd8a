#include "ui/ShadowView.h"

#include "ui/DisplayScale.h"

namespace {
constexpr wchar_t kClassName[] = L"KelvoSE_ShadowView";
}

CShadowView::CShadowView() : image_(222, 1) {}

CShadowView::~CShadowView() { Destroy(); }

HWND CShadowView::Create(HWND owner, HMODULE resources) {
  image_.SetModule(resources);
  static ATOM registered = 0;
  if (!registered) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = &CShadowView::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    registered = ::RegisterClassExW(&wc);
  }
  RECT client = {};
  ::GetClientRect(owner, &client);
  hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0,
                            client.right + Scaled(32), client.bottom + Scaled(32), owner, nullptr,
                            ::GetModuleHandleW(nullptr), this);
  return hwnd_;
}

void CShadowView::Destroy() {
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  if (memory_) {
    ::SelectObject(memory_, previous_);
    ::DeleteDC(memory_);
    memory_ = nullptr;
  }
  if (bitmap_) ::DeleteObject(bitmap_);
  bitmap_ = nullptr;
}

void CShadowView::Render() {
  if (!hwnd_) return;
  RECT window = {};
  ::GetWindowRect(hwnd_, &window);
  int width = window.right - window.left, height = window.bottom - window.top;
  if (width <= 0 || height <= 0) return;
  stale_ = false;
  if (!memory_) memory_ = ::CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP fresh = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!fresh) return;
  HGDIOBJ old = ::SelectObject(memory_, fresh);
  if (!previous_) previous_ = old;
  if (bitmap_) ::DeleteObject(bitmap_);
  bitmap_ = fresh;
  RECT all = {0, 0, width, height};
  image_.Draw(memory_, all, 0, Scaled(70), Scaled(70), Scaled(50), Scaled(50));
  LONG exStyle = ::GetWindowLongW(hwnd_, GWL_EXSTYLE);
  if (!(exStyle & WS_EX_LAYERED)) ::SetWindowLongW(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  POINT position = {window.left, window.top};
  SIZE size = {width, height};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::UpdateLayeredWindow(hwnd_, nullptr, &position, &size, memory_, &source, 0, &blend, ULW_ALPHA);
}

void CShadowView::FollowSize(HWND owner, int clientWidth, int clientHeight) {
  if (!hwnd_) return;
  ::SetWindowPos(hwnd_, owner, 0, 0, clientWidth + Scaled(32), clientHeight + Scaled(32),
                 SWP_NOMOVE | SWP_NOACTIVATE);
}

void CShadowView::FollowMove(HWND owner, int clientX, int clientY) {
  if (!hwnd_) return;
  ::SetWindowPos(hwnd_, owner, clientX - Scaled(14), clientY - Scaled(12), 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

void CShadowView::FollowShow(bool show) {
  if (!hwnd_) return;
  if (show && stale_) Render();
  ::ShowWindow(hwnd_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// A hidden shadow is drawn when it is first shown: a silent run never pays
// for its image and its window-sized bitmap.
void CShadowView::RenderWhenShown() {
  if (::IsWindowVisible(hwnd_)) {
    Render();
  } else {
    stale_ = true;
  }
}

LRESULT CALLBACK CShadowView::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<CShadowView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_CREATE:
      if (self) {
        self->hwnd_ = hwnd;
        self->RenderWhenShown();
      }
      return 0;
    case WM_SIZE:
      if (self && self->hwnd_) self->RenderWhenShown();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(hwnd, &paint);
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_TIMER:
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCDESTROY:
      if (self) self->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
