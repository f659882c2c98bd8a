// Stand-in for the sync client: records how it was started, then either
// exits (one-shot requests) or sits in the tray until asked to close.
#include <shlwapi.h>

#include "StandIn.h"

static const wchar_t kTrayTitle[] = L"Kelvoenterpriseboxtray";
static BOOL ignoreClose;

static LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // Lets the tests play a client that will not quit when asked.
      if (!ignoreClose) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  StandInRecordLaunch();
  // "/reg" (register the shell parts) and "/explorer" (restart the shell)
  // are jobs for a short-lived helper run, not a start of the client.
  const wchar_t* arguments = StandInArguments(GetCommandLineW());
  if (StrStrIW(arguments, L"/reg") || StrStrIW(arguments, L"/explorer")) return 0;

  ignoreClose = StandInFlagApplies(L"ignore-close");
  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = TrayProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"KelvoStandInTrayWindow";
  if (!RegisterClassW(&windowClass)) return 1;
  // Never shown, but a real top-level window, so FindWindow sees it.
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, kTrayTitle, WS_OVERLAPPEDWINDOW, 0,
                                0, 100, 100, NULL, NULL, instance, NULL);
  if (!window) return 1;
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return (int)message.wParam;
}
