#pragma once
#include <windows.h>

// Moves source over target. An existing target is first moved aside to
// "<target>.bak" (or a numbered ".bak<n>"), so even a file held by a running
// program can be replaced. True when the new file took the target's place
// (with MOVEFILE_DELAY_UNTIL_REBOOT: will take it at restart); false when it
// did not, and the old file is then put back from wherever this call moved it.
// With targetExisted, tells whether there was a target to replace.
bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                           bool* targetExisted = nullptr);
