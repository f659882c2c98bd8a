#pragma once
#include <windows.h>

// Starts a command line as a new process and lets it go. An elevated
// installer starts it with the desktop shell's token, so the product runs
// with the user's ordinary rights; FALSE when that token cannot be had.
BOOL StartProcess(const wchar_t* commandLine);
