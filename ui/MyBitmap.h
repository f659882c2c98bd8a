#pragma once
#include <windows.h>

// The process-wide memory DC every skin blit selects its bitmap into (UI
// thread only).
HDC SafeGlobalDC();

// Alpha-blends (per-pixel alpha for 32-bit bitmaps) or copies part of a
// bitmap. Nothing happens for a null bitmap.
void BlendBitmap(HDC target, int x, int y, int width, int height, HBITMAP bitmap, int sourceX,
                 int sourceY, int sourceWidth, int sourceHeight, BYTE constantAlpha = 255,
                 bool alphaBlend = true);

// A skin image for backgrounds and the shadow: loaded on first use, drawn
// nine-sliced. A failed load remembers the id and draws nothing.
class CMyBitmap {
 public:
  CMyBitmap(int resourceId, int frameCount);
  ~CMyBitmap();
  CMyBitmap(const CMyBitmap&) = delete;
  CMyBitmap& operator=(const CMyBitmap&) = delete;

  // The module the image is loaded from, on first use.
  void SetModule(HMODULE module) { module_ = module; }
  BOOL Load();
  // Borders below 1 take their defaults (a third of the smaller side).
  void Draw(HDC target, const RECT& dest, int frameIndex, int top, int bottom, int left,
            int right);

  void SetAlphaBlend(bool on) { alphaBlend_ = on; }
  void SetConstantAlpha(BYTE alpha) { constantAlpha_ = alpha; }
  HBITMAP handle() const { return bitmap_; }
  const BITMAP& info() const { return info_; }
  int frameWidth() const { return info_.bmWidth / frameCount_; }
  int failedId() const { return failedId_; }

 private:
  HMODULE module_ = nullptr;
  int resourceId_;
  int frameCount_;
  HBITMAP bitmap_ = nullptr;
  BITMAP info_ = {};
  bool alphaBlend_ = true;
  BYTE constantAlpha_ = 255;
  int failedId_ = 0;
};
