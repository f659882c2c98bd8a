#pragma once
#include <windows.h>

#include <string>

// Moves source over target. An existing target is first moved aside to
// "<target>.bak" (or a numbered ".bak<n>"), so even a file held by a running
// program can be replaced. True when the new file took the target's place
// (with MOVEFILE_DELAY_UNTIL_REBOOT: will take it at restart); false when it
// did not, and the old file is then put back from wherever this call moved it.
// A target that cannot be moved aside is never replaced: without a backup,
// a failed move would lose it. With targetExisted, tells whether there was a
// target to replace.
bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                           bool* targetExisted = nullptr);

// The same move for a caller that may still have to undo it: the old file
// stays where it was moved aside (movedAside: that name, empty when there was
// no target) until the caller drops it (DiscardBackup) or puts it back.
// With waitBudgetMs, a source another program holds for a moment (a virus
// scanner reading each new file) is copied where the holder lets it be read,
// and otherwise waited for; the time waited comes off the budget.
bool MoveIntoPlace(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                   DWORD* waitBudgetMs, std::wstring* movedAside);

// The plain "<target>.bak" goes, at restart when someone still holds it;
// numbered backups stay where they are.
void DiscardBackup(const std::wstring& target);
