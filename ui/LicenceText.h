#pragma once
#include <windows.h>

#include <string>

// An agreement text of type "LICENCE": UTF-16 after the byte-order mark, up to
// the end of the resource or a NUL. Empty when the resource is missing.
std::wstring LoadLicenceText(HMODULE module, const wchar_t* name);
