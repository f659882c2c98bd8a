#include "ui/MyBitmap.h"

#include "ui/NineSlice.h"
#include "ui/PngBitmap.h"

namespace {

// Created at program start, deleted at exit.
class CSafeGlobalDC {
 public:
  CSafeGlobalDC() {
    HDC display = ::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    dc_ = ::CreateCompatibleDC(display);
    if (display) ::DeleteDC(display);
  }
  ~CSafeGlobalDC() {
    if (dc_) ::DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_ = nullptr;
};

CSafeGlobalDC g_globalDC;

}  // namespace

HDC SafeGlobalDC() { return g_globalDC.get(); }

void BlendBitmap(HDC target, int x, int y, int width, int height, HBITMAP bitmap, int sourceX,
                 int sourceY, int sourceWidth, int sourceHeight, BYTE constantAlpha,
                 bool alphaBlend) {
  if (!bitmap || !SafeGlobalDC() || width <= 0 || height <= 0) return;
  BITMAP info = {};
  ::GetObjectW(bitmap, sizeof(info), &info);
  HGDIOBJ previous = ::SelectObject(SafeGlobalDC(), bitmap);
  if (alphaBlend) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, constantAlpha,
                           static_cast<BYTE>(info.bmBitsPixel == 32 ? AC_SRC_ALPHA : 0)};
    ::AlphaBlend(target, x, y, width, height, SafeGlobalDC(), sourceX, sourceY, sourceWidth,
                 sourceHeight, blend);
  } else {
    ::BitBlt(target, x, y, width, height, SafeGlobalDC(), sourceX, sourceY, SRCCOPY);
  }
  ::SelectObject(SafeGlobalDC(), previous);
}

CMyBitmap::CMyBitmap(int resourceId, int frameCount)
    : resourceId_(resourceId), frameCount_(frameCount < 1 ? 1 : frameCount) {}

CMyBitmap::~CMyBitmap() {
  if (bitmap_) ::DeleteObject(bitmap_);
}

BOOL CMyBitmap::Load() {
  if (bitmap_) return TRUE;
  if (failedId_) return FALSE;
  bitmap_ = LoadPngBitmap(module_, resourceId_);
  if (!bitmap_) {
    failedId_ = resourceId_;
    return FALSE;
  }
  ::GetObjectW(bitmap_, sizeof(info_), &info_);
  return TRUE;
}

void CMyBitmap::Draw(HDC target, const RECT& dest, int frameIndex, int top, int bottom, int left,
                     int right) {
  if (!Load()) return;
  NineSlicePiece pieces[9];
  int count = ComputeNineSlice(dest, frameWidth(), info_.bmHeight, frameIndex, top, bottom, left,
                               right, pieces);
  for (int i = 0; i < count; ++i) {
    const NineSlicePiece& p = pieces[i];
    BlendBitmap(target, p.destX, p.destY, p.destWidth, p.destHeight, bitmap_, p.sourceX,
                p.sourceY, p.sourceWidth, p.sourceHeight, constantAlpha_, alphaBlend_);
  }
}
