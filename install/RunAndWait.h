#pragma once
#include <windows.h>

// Runs a command line without a console window. With wait set, blocks until
// the process ends (no time limit) and answers whether it exited with 0;
// otherwise answers whether it started.
BOOL RunAndWait(const wchar_t* commandLine, BOOL wait);
