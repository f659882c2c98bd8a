#pragma once
#include <windows.h>

// The skin's classification of Windows versions: 1 (2000) to 9 (7), 1000 for
// 8.1 and later, kUnclassifiedOs for what the table leaves out (including 8).
enum : int { kUnclassifiedOs = -1000 };

int ClassifyOsVersion(const OSVERSIONINFOEXW& version);
// This system's code, computed once.
int OsVersionCode();
