#pragma once
#include <windows.h>

// The caption of the corrupted-file message, whichever file failed.
inline constexpr wchar_t kCorruptedFileTitle[] = L"Kelvo安全卫士";

// The one rule for starting or loading a product file: true when it may be
// started; false (and nothing shown) when it is missing. A file that exists
// but is not trusted gets the corrupted-file message and ends the process
// with exit code 0, so the call does not return.
BOOL ConfirmTrustedOrReport(const wchar_t* path);
