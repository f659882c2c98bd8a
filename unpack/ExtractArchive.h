#pragma once
#include <windows.h>

class IExtractCallback;

// Extracts every item of a 7z archive file into outputFolder through the
// loaded 7z library, telling the optional sink about each item.
// 0 on success, -1 on any failure, a single damaged item included.
int ExtractArchive(const wchar_t* archivePath, const wchar_t* outputFolder, IExtractCallback* sink);
