#pragma once
#include <windows.h>

// Closing the running product before its files are replaced.

// Whether the product's main executable runs.
BOOL IsProductRunning();

// Sends WM_CLOSE and waits at most 200 ms for the answer; 0 when window is
// not a window.
LRESULT AskWindowToClose(HWND window);
