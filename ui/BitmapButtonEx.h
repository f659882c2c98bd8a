#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/SubclassedControl.h"

// A push button drawn from an image list (frames side by side) with a
// 300 ms cross-fade between its normal and hover looks.
class CBitmapButtonEx : public CSubclassedControl {
 public:
  enum ExtendedStyle : DWORD {
    kHover = 1,
    kAutoEdge = 2,
    kAutoEdgeDouble = 4,
    kAutoSize = 8,
    kSharedImages = 16,
    kAutoRepeat = 32,
  };
  enum Frame { kNormal, kPressed, kHoverFrame, kDisabled };

  CBitmapButtonEx();
  ~CBitmapButtonEx() override;

  BOOL Attach(HWND button);
  void SetExtendedStyle(DWORD style) { extendedStyle_ = style; }
  void SetImageList(HIMAGELIST images);
  // Frame indices for normal, pressed, hover and disabled (-1: unset).
  void SetImages(int normal, int pressed, int hover, int disabled);
  void SetToolTipText(const wchar_t* text);
  void SetTextColor(COLORREF colour);
  void SetBackgroundBrush(HBRUSH brush) { backgroundBrush_ = brush; }
  void SetHandCursor(bool on) { handCursor_ = on; }

  // The frame the next paint uses; also updates the text colour.
  int ChooseFrame();
  COLORREF textColor() const { return textColor_; }
  float fadeFraction() const { return fadeFraction_; }
  bool fading() const { return fading_ != 0; }

  static constexpr COLORREF kDefaultText = RGB(32, 51, 58);
  static constexpr COLORREF kDisabledText = RGB(220, 245, 232);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  enum StateBit { kPointerOver = 1, kFocus = 2, kPressedBit = 4 };
  struct Snapshot {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
  };
  void PaintImage(HDC dc, int frame);
  void PaintText(HDC dc);
  // Draws the whole button (image or cross-fade, then text) into memory, the
  // buffered paint DC.
  void PaintAll(HDC memory);
  bool EnsureSnapshot(Snapshot& snapshot);
  void FreeSnapshot(Snapshot& snapshot);
  void StartFade();
  void OnTimer();
  void OnMouseMove(LPARAM lParam);
  void OnMouseLeave();
  void Relay(UINT msg, WPARAM wParam, LPARAM lParam);

  DWORD extendedStyle_ = kAutoSize;
  HIMAGELIST images_ = nullptr;
  int frames_[4] = {-1, -1, -1, -1};
  HWND toolTip_ = nullptr;
  std::wstring toolTipText_;
  DWORD state_ = 0;
  Snapshot target_, source_;
  DWORD fadeStart_ = 0;
  BOOL fading_ = FALSE;
  float fadeFraction_ = 0.0f;
  COLORREF textColor_ = kDefaultText;
  COLORREF customTextColor_ = 0;
  bool useCustomTextColor_ = false;
  HBRUSH backgroundBrush_ = nullptr;
  int textLift_ = 0;
  bool handCursor_ = false;
};
