#pragma once
#include <windows.h>

// Writes one formatted line of diagnostics to the process's standard output
// when that is a console or a file. A windowed process started from Explorer
// has none, and a pipe is never written to, since nobody may read it; there
// the line goes nowhere. Otherwise it arrives whole, including characters
// outside ASCII (a console gets UTF-16, a file UTF-8). Lines longer than
// 1023 characters are cut.
void WriteStandardOutputLine(const wchar_t* format, ...);
