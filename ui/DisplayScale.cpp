#include "ui/DisplayScale.h"

#include "unpack/TrustedLoad.h"

namespace {

// MDT_EFFECTIVE_DPI of SHCore's GetDpiForMonitor, which older systems lack.
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);

HRESULT EffectiveDpi(HMONITOR monitor, UINT* dpiX, UINT* dpiY) {
  // Vista and 7 have no SHCore: a bare name would find one in the
  // installer's own folder, which is often Downloads.
  HMODULE shcore = LoadFromSystemFolder("SHCore.dll");
  if (!shcore) return E_NOINTERFACE;
  auto getDpi = reinterpret_cast<GetDpiForMonitorFn>(
      reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
  HRESULT result = getDpi ? getDpi(monitor, 0, dpiX, dpiY) : E_NOINTERFACE;
  ::FreeLibrary(shcore);
  return result;
}

}  // namespace

DisplayScale& DisplayScale::Instance() {
  static DisplayScale instance;
  return instance;
}

float DisplayScale::ScaleForDpi(int dpi) {
  switch (dpi) {
    case 96: return 1.0f;
    case 120: case 144: return 1.5f;
    case 168: case 192: return 2.0f;
    case 216: case 240: return 2.5f;
    case 288: case 336: return 3.0f;
    default: return 0.0f;
  }
}

BOOL DisplayScale::SetFromDpi(int horizontalDpi) {
  float scale = ScaleForDpi(horizontalDpi);
  if (scale == 0.0f) return FALSE;
  scale_ = scale;
  screenWidth_ = ::GetSystemMetrics(SM_CXSCREEN);
  screenHeight_ = ::GetSystemMetrics(SM_CYSCREEN);
  return TRUE;
}

void DisplayScale::SetFromMonitor() {
  POINT origin = {10, 10};
  HMONITOR monitor = ::MonitorFromPoint(origin, MONITOR_DEFAULTTONULL);
  UINT dpiX = 0, dpiY = 0;
  if (FAILED(EffectiveDpi(monitor, &dpiX, &dpiY))) {
    HWND desktop = ::GetDesktopWindow();
    HDC dc = ::GetDC(desktop);
    dpiX = static_cast<UINT>(::GetDeviceCaps(dc, LOGPIXELSX));
    dpiY = static_cast<UINT>(::GetDeviceCaps(dc, LOGPIXELSY));
    ::ReleaseDC(desktop, dc);
  }
  SetFromDpi(static_cast<int>(dpiX));
}

int DisplayScale::Scale(int basePixels) const {
  return static_cast<int>(static_cast<float>(basePixels) * scale_);
}
