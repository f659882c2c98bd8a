#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// .lnk files read and written through the shell's own link object (real COM),
// the way Explorer sees them. Both calls initialise COM for themselves.

// What a shortcut holds; read is false when the file is missing or is no
// shell link, and every field is empty then.
struct ShortcutContents {
  bool read = false;
  std::wstring target;  // raw path, environment variables not expanded
  std::wstring arguments;
  std::wstring workingFolder;
  std::wstring iconPath;
  int iconIndex = 0;
  std::wstring description;
};
ShortcutContents ReadShortcut(const std::wstring& linkPath);

// Writes linkPath pointing at target, working folder the target's folder,
// with a description when given (as an earlier version or the user may have
// left one). The folder must exist. True when saved.
bool WriteShortcut(const std::wstring& linkPath, const std::wstring& target,
                   const std::wstring& description = std::wstring());

// A shortcut as the installer writes it: pointing at target (paths compared
// as Windows does, ignoring case), working folder the target's folder, and
// nothing else: no arguments, icon or description.
::testing::AssertionResult IsInstallerShortcutTo(const std::wstring& linkPath,
                                                 const std::wstring& target);
