#pragma once
#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it (Windows 7 with
// KB2533623 and later: kernel32 exports AddDllDirectory), else 0. Decided
// once per process.
DWORD SystemFolderOnlyLoadFlags();
