#pragma once
#include <windows.h>

// Runs a command line without a console window. With wait set, blocks until
// the process ends (no time limit) and answers whether it exited with 0;
// otherwise answers whether it started.
BOOL RunAndWait(const wchar_t* commandLine, BOOL wait);

// The two halves of RunAndWait, for processes that run side by side: the
// started process (null when it did not start), then its end, after which
// the handle is closed.
HANDLE StartHidden(const wchar_t* commandLine);
BOOL WaitForSuccess(HANDLE process);
