#pragma once
#include <windows.h>

// Systems the product does not run on. The product needs Windows XP or later.

// Windows 95/98/Me, and Windows NT 4 and earlier, which its refusal names too.
BOOL IsWindows9x(const OSVERSIONINFOEXW& version);
BOOL IsWindows9x();
// Windows 2000, whatever its service pack.
BOOL IsWindows2000(const OSVERSIONINFOEXW& version);
BOOL IsWindows2000();
