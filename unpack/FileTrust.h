#pragma once
#include <windows.h>

// Whether one of the product's files may be loaded or started.
BOOL IsTrustedFile(const wchar_t* path);

// Tells the user that a file of the product is damaged and offers the
// download page. With exitAfterwards set the process ends with exit code 0;
// otherwise returns the message box answer.
int ReportCorruptedFile(const wchar_t* path, const wchar_t* title, BOOL exitAfterwards);
