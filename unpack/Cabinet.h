#pragma once
#include <windows.h>

// Expands a single-file cabinet into a folder with SetupAPI. Any entry that
// would land outside the folder stops the whole expansion. False for an
// empty argument or a failed expansion.
bool ExtractCabinet(const wchar_t* cabinetPath, const wchar_t* destination);

// The SetupIterateCabinetW notification handler, for ExtractCabinet.
UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
