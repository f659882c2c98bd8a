#pragma once
#include <windows.h>

// What GetVersionExW reports (the manifest decides whether Windows admits to
// 10.0). Read once per process.
const OSVERSIONINFOEXW& WindowsVersion();
DWORD WindowsMajorVersion();
// Windows Vista or later.
bool IsVistaOrLater();
