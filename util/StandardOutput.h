#pragma once
#include <windows.h>

// Writes one formatted line of diagnostics to the process's standard output,
// if it has one. A windowed process started from Explorer has none and the
// line goes nowhere; under a console or a pipe it arrives whole, including
// characters outside ASCII (a console gets UTF-16, anything else UTF-8).
// Lines longer than 1023 characters are cut.
void WriteStandardOutputLine(const wchar_t* format, ...);
