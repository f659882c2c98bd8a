#pragma once
#include <windows.h>

// Moves source over target. An existing target is first moved aside to
// "<target>.bak" (or a numbered ".bak<n>"), so even a file held by a running
// program can be replaced; the ".bak" is restored when the final move fails.
// Always true.
bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags);
