#include "ui/PngBitmap.h"

#include <objidl.h>
// objidl.h first: gdiplus.h needs it under WIN32_LEAN_AND_MEAN.
#include <gdiplus.h>
#include <string.h>

#include "ui/ScaledResourceId.h"

namespace {

HBITMAP DecodeBlock(HGLOBAL block) {
  HBITMAP result = nullptr;
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(block, FALSE, &stream)) || !stream) return nullptr;
  Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromStream(stream, FALSE);
  stream->Release();
  if (bitmap) {
    if (bitmap->GetLastStatus() == Gdiplus::Ok) {
      bitmap->GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &result);
    }
    delete bitmap;
  }
  return result;
}

}  // namespace

HBITMAP LoadPngBitmap(HMODULE module, int baseId, const wchar_t* type) {
  if (!type || !*type) type = L"PNG";
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return nullptr;

  HBITMAP result = nullptr;
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(ScaledResourceId(baseId)), type);
  DWORD size = found ? ::SizeofResource(module, found) : 0;
  HGLOBAL loaded = size ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (data) {
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (block) {
      memcpy(reinterpret_cast<void*>(block), data, size);
      result = DecodeBlock(block);
      ::GlobalFree(block);
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return result;
}
