#pragma once
#include <windows.h>

#include "ui/SubclassedControl.h"

// A static whose single line of text is drawn straight onto what its parent
// draws behind it.
class CTransparentStatic : public CSubclassedControl {
 public:
  void SetText(const wchar_t* text);
  void SetTextColor(COLORREF colour);
  // 0: the control's own font (WM_GETFONT at the first paint).
  void SetFont(HFONT font);
  COLORREF textColor() const { return textColour_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Draws the whole control, over what its parent shows there, into memory
  // (the buffered paint DC).
  void Paint(HDC memory);

  COLORREF textColour_ = RGB(0, 0, 0);
  HFONT font_ = nullptr;
};
