#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// What an install leaves on the machine, read back the way an administrator
// would look: the uninstall entry, App Paths, the product's files.
std::wstring ProgramFilesFolder();
// Program Files\Kelvo\Kelvopeltbox: where a fresh install goes by default.
std::wstring DefaultInstallFolder();
// A value of the product's uninstall entry, or "" when missing.
std::wstring UninstallValue(const wchar_t* name);
// The default value of the product's App Paths key, or "".
std::wstring AppPathsDefault();
// True when folder holds every payload file and folder, byte for byte.
::testing::AssertionResult HoldsThePayload(const std::wstring& folder);
// How many product processes (the main executable) run now.
int RunningProductCount();
