#pragma once
#include <windows.h>

// On Windows 7, asks the shell to load icon-overlay handlers registered
// since it started, when fewer than 13 are registered (the shell shows only
// the first few). TRUE when the shell was asked.
BOOL LoadOverlaysIfRoom();
