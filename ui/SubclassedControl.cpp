#include "ui/SubclassedControl.h"

// Subclassing through the window procedure itself rather than comctl32's
// SetWindowSubclass: comctl32 finds its chain through a window property on
// every message, and under Wine each property read is a round trip to the
// window server. The object lives in the control's user data, which no
// standard control uses.

CSubclassedControl::~CSubclassedControl() { Detach(); }

BOOL CSubclassedControl::Attach(HWND control) {
  if (!control || hwnd_) return FALSE;
  auto original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(control, GWLP_WNDPROC));
  if (!original || original == &CSubclassedControl::SubclassProc) return FALSE;
  hwnd_ = control;
  original_ = original;
  ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(control, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&CSubclassedControl::SubclassProc));
  return TRUE;
}

void CSubclassedControl::Detach() {
  if (!hwnd_) return;
  // Put the original back only while ours is the procedure in place.
  if (::IsWindow(hwnd_) && reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(
                               hwnd_, GWLP_WNDPROC)) == &CSubclassedControl::SubclassProc) {
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  }
  hwnd_ = nullptr;
}

LRESULT CSubclassedControl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(msg, wParam, lParam);
}

LRESULT CSubclassedControl::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(original_, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK CSubclassedControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                  LPARAM lParam) {
  auto* self = reinterpret_cast<CSubclassedControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->hwnd_ != hwnd) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    LRESULT result = self->WindowProc(msg, wParam, lParam);
    self->Detach();
    return result;
  }
  return self->WindowProc(msg, wParam, lParam);
}
