#pragma once
#include <string>

// The folder every installation lands in: a root gets "Kelvopeltbox"
// appended, any other folder "\Kelvopeltbox" unless it is already named so.
std::wstring NormalizeProductFolder(const std::wstring& folder);
