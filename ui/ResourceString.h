#pragma once
#include <windows.h>

#include <string>

// A string of the string table in module (empty when missing).
std::wstring ResourceString(HMODULE module, unsigned id);
