#pragma once
#include <windows.h>

// Compares two version texts "a.b.c.d" part by part as unsigned numbers;
// missing or unreadable parts count as 0. Returns -1, 0 or 1.
int CompareVersions(const wchar_t* a, const wchar_t* b);
