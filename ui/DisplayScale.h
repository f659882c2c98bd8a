#pragma once
#include <windows.h>

// The display scale of the whole process: every UI size is a base pixel value
// at 96 DPI times this factor, truncated. Set once before any window exists.
class DisplayScale {
 public:
  static DisplayScale& Instance();

  // Reads the effective DPI of the monitor at (10, 10), or the desktop DC's.
  void SetFromMonitor();
  // Applies the scale for a horizontal DPI; FALSE (and nothing changes) for a
  // DPI outside the supported steps.
  BOOL SetFromDpi(int horizontalDpi);

  float scale() const { return scale_; }
  int Scale(int basePixels) const;
  int screenWidth() const { return screenWidth_; }
  int screenHeight() const { return screenHeight_; }

  // The scale for a DPI, or 0 when the DPI is not one of the steps.
  static float ScaleForDpi(int horizontalDpi);

 private:
  float scale_ = 1.0f;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
};

// A base pixel value at the current display scale (truncated toward zero).
// Sums of base values are scaled term by term: Scaled(131) + Scaled(295).
inline int Scaled(int basePixels) { return DisplayScale::Instance().Scale(basePixels); }
