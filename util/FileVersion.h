#pragma once
#include <windows.h>

#include <string>

// "%d.%d.%d.%d" of a file's VS_FIXEDFILEINFO; "0.0.0.0" when the file has no
// version resource (or cannot be read).
std::wstring ReadFileVersionText(const wchar_t* path);
