#pragma once
#include <windows.h>
#include <string>

// What the command line and an earlier installation tell the installer.
// CInstallApp carries these as its first members.
struct InstallOptions {
  wchar_t pid[260] = {};
  wchar_t mid[260] = {};
  std::wstring ownVersion;
  BOOL silent = FALSE;
  std::wstring installDirOverride;
  BOOL silentRun = TRUE;
  BOOL canWriteMachineRegistry = TRUE;
};
