#pragma once
#include <windows.h>

// What GetVersionExW reports (the manifest decides whether Windows admits to
// 10.0).
OSVERSIONINFOEXW WindowsVersion();
DWORD WindowsMajorVersion();
// Windows Vista or later: the NT platform from major version 6 on.
bool IsVistaOrLater();
