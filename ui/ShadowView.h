#pragma once
#include <windows.h>

#include "ui/MyBitmap.h"

// The soft shadow around a skinned window: a layered popup owned by it, kept
// one step behind it, pushed to the screen once per create or resize while
// shown, or when shown after one.
class CShadowView {
 public:
  CShadowView();
  ~CShadowView();

  // A popup at the screen origin, size (ownerClientWidth + t(32)) x
  // (ownerClientHeight + t(32)).
  HWND Create(HWND owner, HMODULE resources);
  void Destroy();
  HWND hwnd() const { return hwnd_; }

  // The owner's WM_SIZE, WM_MOVE and WM_SHOWWINDOW.
  void FollowSize(HWND owner, int clientWidth, int clientHeight);
  void FollowMove(HWND owner, int clientX, int clientY);
  void FollowShow(bool show);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Render();
  void RenderWhenShown();

  CMyBitmap image_;
  HWND hwnd_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  bool stale_ = false;  // sized or made while hidden, not drawn yet
};
