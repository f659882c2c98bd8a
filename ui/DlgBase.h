#pragma once
#include <windows.h>

#include <string>

#include "ui/ResourceString.h"
#include "ui/SkinResources.h"

// The installer's small dialog framework: a dialog object bound to its window
// through DWLP_USER, modal (DialogBoxParamW) or modeless (CreateDialogParamW).
// T handles messages in ProcessWindowMessage(msg, wParam, lParam, result) and
// returns TRUE for those it handled.
//
// At WM_INITDIALOG the base sets the title, the client size it was given,
// icon 128, centres the window and sets skin font 0 as the dialog font, then
// lets T go on (the message is not consumed).
class CDlgBaseCommon {
 public:
  HWND hwnd() const { return hwnd_; }
  // The client size WM_INITDIALOG gives the window.
  void SetInitialClientSize(int width, int height) {
    initialWidth_ = width;
    initialHeight_ = height;
  }

  // Sizes the window so that its client area is width x height, keeping the
  // top-left corner.
  void ResizeClient(int width, int height);
  void CentreWindow();
  void Invalidate();

  // Window proc result for a handled message, as dialog procs must give it.
  static INT_PTR DialogResult(HWND hwnd, UINT msg, LRESULT result);

 protected:
  void InitBase(HWND hwnd);

  HWND hwnd_ = nullptr;
  int initialWidth_ = 0;
  int initialHeight_ = 0;
  HWND owner_ = nullptr;
  // Fonts, images and the module of the resources, given at creation.
  SkinResources* skin_ = nullptr;
  HMODULE module() const { return skin_->module(); }
  std::wstring Text(unsigned id) const { return ResourceString(module(), id); }
};

template <class T>
class CDlgBase : public CDlgBaseCommon {
 public:
  INT_PTR DoModal(SkinResources& skin, UINT templateId, HWND owner) {
    owner_ = owner;
    skin_ = &skin;
    return ::DialogBoxParamW(skin.module(), MAKEINTRESOURCEW(templateId), owner, &CDlgBase::DialogProc,
                             reinterpret_cast<LPARAM>(this));
  }
  HWND Create(SkinResources& skin, UINT templateId, HWND owner) {
    owner_ = owner;
    skin_ = &skin;
    return ::CreateDialogParamW(skin.module(), MAKEINTRESOURCEW(templateId), owner,
                                &CDlgBase::DialogProc, reinterpret_cast<LPARAM>(this));
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (msg == WM_INITDIALOG) {
      self = static_cast<T*>(reinterpret_cast<CDlgBase*>(lParam));
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->InitBase(hwnd);
    } else {
      self = static_cast<T*>(
          reinterpret_cast<CDlgBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER)));
    }
    if (!self) return FALSE;
    if (msg == WM_ERASEBKGND) return DialogResult(hwnd, msg, 1);
    LRESULT result = 0;
    BOOL handled = self->ProcessWindowMessage(msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->hwnd_ = nullptr;
    }
    return handled ? DialogResult(hwnd, msg, result) : FALSE;
  }
};
