#pragma once
#include <string>

// A string of the installer's string table (empty when missing).
std::wstring ResourceString(unsigned id);
