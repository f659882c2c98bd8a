#include "ui/SubclassedControl.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 0x4B53;  // one subclass per control
}

CSubclassedControl::~CSubclassedControl() { Detach(); }

BOOL CSubclassedControl::Attach(HWND control) {
  if (!control || hwnd_) return FALSE;
  if (!::SetWindowSubclass(control, &CSubclassedControl::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
    return FALSE;
  }
  hwnd_ = control;
  return TRUE;
}

void CSubclassedControl::Detach() {
  if (!hwnd_) return;
  ::RemoveWindowSubclass(hwnd_, &CSubclassedControl::SubclassProc, kSubclassId);
  hwnd_ = nullptr;
}

LRESULT CSubclassedControl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(msg, wParam, lParam);
}

LRESULT CSubclassedControl::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefSubclassProc(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK CSubclassedControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CSubclassedControl*>(data);
  if (!self || self->hwnd_ != hwnd) return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    LRESULT result = self->WindowProc(msg, wParam, lParam);
    self->Detach();
    return result;
  }
  return self->WindowProc(msg, wParam, lParam);
}
