#pragma once
#include <windows.h>

// Process-wide, set at most once before initialisation, never cleared.
// Restarted: this process is the copy relaunched with "/restart".
// GreenMode: the installer goes on without administrator rights, per user.
extern BOOL Restarted;
extern BOOL GreenMode;
