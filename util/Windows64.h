#pragma once
#include <windows.h>

// Whether Windows itself is 64-bit. The 64-bit build (used to run the tests)
// is only ever on 64-bit Windows; the shipped 32-bit build asks
// IsWow64Process, looked up at run time because XP's first releases lack it.
BOOL IsWindows64Bit();
