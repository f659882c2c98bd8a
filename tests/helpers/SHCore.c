/* A "SHCore.dll" planted beside a program, answering a DPI no monitor of the
   tests has; the system folder's own answers the real one. */
#include <windows.h>

__declspec(dllexport) HRESULT WINAPI GetDpiForMonitor(HMONITOR monitor, int type, UINT* x,
                                                      UINT* y) {
  *x = *y = 192;
  return S_OK;
}
