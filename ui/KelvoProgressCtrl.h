#pragma once
#include <windows.h>

#include "ui/SkinResources.h"

// The install progress bar: skin image 208 as the track and image 201 as the
// fill, on the parent's background. The position is a percentage.
class CKelvoProgressCtrl {
 public:
  static constexpr wchar_t kClassName[] = L"KelvoSE_ProgressCtrl";

  // Fill width in pixels for a position, at the current scale; the fill never
  // runs past the track (its two caps included).
  static int FillWidth(int position);

  HWND Create(HWND parent, const RECT& rect, SkinResources& skin);
  void SetPos(int position);
  int pos() const { return position_; }
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Draws the whole control, over what its parent shows there, into memory
  // (the buffered paint DC).
  void Paint(HDC memory);

  HWND hwnd_ = nullptr;
  SkinResources* skin_ = nullptr;
  int position_ = 0;
};
