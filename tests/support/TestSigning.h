#pragma once
#include <windows.h>

#include <string>

// Signs a file the way the build does (replacing any signature it carries),
// with the build's signing key. For tests that change a signed program on
// purpose and still want it to count as the maker's.
bool SignForTests(const std::wstring& path, LONG level = 1);

// Whether the file ends in a signature block (valid or not).
bool HasSignatureBlock(const std::wstring& path);
