#pragma once
#include <windows.h>

#include "ui/SubclassedControl.h"

// A link-like static: its own font and colour, word-wrapped text on the
// parent's background, the hand cursor, and STN_CLICKED with the notify style.
class CSimpleLabel : public CSubclassedControl {
 public:
  // The all-ones colour stands for the system caption-text colour.
  static constexpr COLORREF kCaptionTextColour = 0xFFFFFFFF;

  CSimpleLabel();
  ~CSimpleLabel() override;

  BOOL Attach(HWND label);
  void SetText(const wchar_t* text);
  void SetTextColor(COLORREF colour);
  // Makes the label's own font from a copy of logFont.
  void SetFont(const LOGFONTW& logFont);
  void SetNotify(bool on);
  COLORREF textColor() const { return textColour_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // Draws the whole control, over what its parent shows there, into memory
  // (the buffered paint DC).
  void Paint(HDC memory);

  COLORREF textColour_;
  LOGFONTW logFont_ = {};
  HFONT font_ = nullptr;
  HCURSOR hand_ = nullptr;
  bool notify_ = false;
  HBRUSH faceBrush_ = nullptr;
  HBRUSH faceBrushDisabled_ = nullptr;
};
