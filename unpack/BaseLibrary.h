#pragma once
#include <windows.h>

// Unpacks the base library from the installer's own cabinet resource
// DLL/IDR_KELVOBASE_CAB_DLL into a new temporary folder (left in place: the
// library is loaded from there) and writes the path of "Kelvobase.dll"
// there into path, truncated to length characters.
BOOL UnpackBaseLibrary(wchar_t* path, DWORD length);

// Unpacks, verifies, loads and binds the base library, once per process.
// True when it is ready.
BOOL LoadBaseLibrary();

// Frees the base library for good: its file may then be deleted.
void UnloadBaseLibrary();
