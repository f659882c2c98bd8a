#pragma once
#include <windows.h>
#include <delayimp.h>  // no include guard of its own: include it through here only

// Loads a library only when it is already in the process, when the maker's
// self-protection driver vouches for this process, or when its signature
// verifies with a level other than 3. Null otherwise.
HMODULE LoadTrustedLibrary(const wchar_t* libraryPath);

// Asks "\\.\KelvoSelfProtection" about this process: its 32-bit answer, or 0
// when the device is absent or the call fails.
DWORD QuerySelfProtection();

// Whether name is one of the system libraries that may only come from the
// Windows system folder (case-insensitive).
bool IsSystemFolderLibrary(const char* name);

// Loads "<system folder>\name", whose own imports come from the system
// folder too (or, where the system folder lacks it, the side-by-side copy
// the name is redirected to). Null with ERROR_FILE_NOT_FOUND otherwise.
HMODULE LoadFromSystemFolder(const char* name);

// The delay-load notification hook: libraries of the list come from the
// system folder or not at all; everything else takes the default search.
FARPROC WINAPI SystemDllLoadHook(unsigned notification, PDelayLoadInfo info);
