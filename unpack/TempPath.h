#pragma once
#include <windows.h>
#include <string>

// An unused "{GUID}.tmp" path in the run's work folder when there is one
// (WorkFolder.h), else in the user's temporary folder. Only tested, not
// created. False after 10 names that all existed.
bool MakeTempPath(std::wstring& out);

// A fresh GUID as the temporary names spell it: "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}".
std::wstring NewBracedGuid();
