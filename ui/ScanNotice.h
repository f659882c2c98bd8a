#pragma once
#include <windows.h>

// Whether the maker's antivirus scanner is scanning (it owns one of two
// named mutexes while it does).
BOOL IsScanInProgress();

// Blocks on a notice that a running scan disturbs the install, with the
// buttons Retry and "忽略". Retry shows it again while the scan still runs;
// either way out goes on with the install.
void ScanNotice(HWND owner);
