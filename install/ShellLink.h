#pragma once
#include <windows.h>

// Shell links (.lnk files). COM must be initialised on the calling thread.

// Writes (or overwrites) linkPath pointing at target, working folder the
// target's folder, with arguments when given. TRUE when the file was saved.
BOOL CreateLink(const wchar_t* target, const wchar_t* linkPath, const wchar_t* arguments);

// The raw target path of a link into buffer (capacity characters, at most
// 1023); the buffer is zeroed first and stays empty on any failure.
BOOL ReadLinkTarget(const wchar_t* linkPath, wchar_t* buffer, int capacity);

// Whether the link exists and points at target (case-insensitive).
bool LinkPointsAt(const wchar_t* linkPath, const wchar_t* target);
