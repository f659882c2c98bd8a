#pragma once
#include <stddef.h>

// printf into out (capacity bytes), always terminated; true when the whole
// text fit. Through msvcrt's formatter: snprintf would link mingw's own
// (about 28 KB) into the installer.
bool FormatText(char* out, size_t capacity, const char* format, ...)
    __attribute__((format(ms_printf, 3, 4)));
