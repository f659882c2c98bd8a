#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// .lnk files read and written through the shell's own link object, the way
// Explorer sees them, and where the installer puts them.
std::wstring StartMenuGroup(const std::wstring& name);  // Programs\Kelvo安全中心\<name>
std::wstring DesktopShortcut(const std::wstring& name);
std::wstring QuickLaunchShortcut(const std::wstring& name);

// The link's comment; "<none>" when the file is no shell link.
std::wstring ShortcutNote(const std::wstring& linkPath);
// Writes linkPath (and its folder) to target, starting in the target's folder,
// with a comment when given (as the user or an earlier version may have left one).
bool WriteShortcut(const std::wstring& linkPath, const std::wstring& target,
                   const std::wstring& note = std::wstring());
// A shortcut as the installer writes it: to target (compared as Windows
// does, ignoring case), starting in its folder, with nothing else.
::testing::AssertionResult IsInstallerShortcutTo(const std::wstring& linkPath,
                                                 const std::wstring& target);
