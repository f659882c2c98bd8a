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

// A special folder (CSIDL_*), as the installer looks it up.
std::wstring ShellFolder(int csidl);
// The product's Start-menu group under the maker's folder:
// Programs\Kelvo安全中心\<name>.
std::wstring StartMenuGroup(const std::wstring& name);
// <name>.lnk on the desktop, and in the Quick Launch folder.
std::wstring DesktopShortcut(const std::wstring& name);
std::wstring QuickLaunchShortcut(const std::wstring& name);
