#pragma once
#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it (Windows 7 with
// KB2533623 and later: kernel32 exports AddDllDirectory), else 0. Decided
// once per process.
DWORD SystemFolderOnlyLoadFlags();

// Flags for loading a library by its full path so that the libraries it
// imports never come from beside the program: LOAD_LIBRARY_SEARCH_SYSTEM32,
// or LOAD_WITH_ALTERED_SEARCH_PATH where the loader lacks it (the search
// then starts in the library's own folder, e.g. the system folder, and
// leaves the program's folder out).
DWORD SystemLibraryLoadFlags();

// "<system folder>\name" with SystemLibraryLoadFlags(); null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The process's first step: libraries loaded by name, by us or by Windows
// on our behalf, come from the system folder from here on, never from the
// program's own folder (a download folder anyone may have filled).
void LimitLibrarySearchToSystemFolder();
