#pragma once
#include <windows.h>

// The process entry: argumentString excludes the program path. Returns the
// process exit code.
int Entry(HINSTANCE instance, const wchar_t* argumentString, int showCommand);
