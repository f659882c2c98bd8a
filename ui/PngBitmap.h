#pragma once
#include <windows.h>

// Decodes the skin image baseId (at the current scale's id) of the given
// type ("PNG" when null or empty) into a 32-bit premultiplied-alpha bitmap.
// 0 on any failure. GDI+ is started and shut down within the call.
HBITMAP LoadPngBitmap(HMODULE module, int baseId, const wchar_t* type = nullptr);
