#include "util/WindowsVersion.h"

#include "util/SystemSeam.h"

OSVERSIONINFOEXW WindowsVersion() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  Seam().GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
  return info;
}

DWORD WindowsMajorVersion() { return WindowsVersion().dwMajorVersion; }

bool IsVistaOrLater() {
  const OSVERSIONINFOEXW version = WindowsVersion();
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
}
