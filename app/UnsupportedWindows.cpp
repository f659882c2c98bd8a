#include "app/UnsupportedWindows.h"

#include "util/WindowsVersion.h"

BOOL IsWindows9x(const OSVERSIONINFOEXW& version) {
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return TRUE;
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 5;
}

BOOL IsWindows9x() { return IsWindows9x(WindowsVersion()); }

BOOL IsWindows2000(const OSVERSIONINFOEXW& version) {
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 &&
         version.dwMinorVersion == 0;
}

BOOL IsWindows2000() { return IsWindows2000(WindowsVersion()); }
