#pragma once
#include <windows.h>

// Processes of the product, found by the base name of their executable
// (case-insensitive). Processes this installer may not open are invisible.

// Whether a process with this executable base name runs (PSAPI list).
BOOL IsProcessRunning(const wchar_t* baseName);

// Terminates every process with this base name and waits up to timeoutMs
// for them all to end. -1 when the process list cannot be read, else 0
// (whether or not they ended in time).
int TerminateProcessesByName(const wchar_t* baseName, DWORD timeoutMs);

// Whether a process with this executable name exists, from a toolhelp
// snapshot: it sees processes the PSAPI route cannot open (the shell).
BOOL ProcessExistsInSnapshot(const wchar_t* exeName);
