#include "util/WindowsVersion.h"

const OSVERSIONINFOEXW& WindowsVersion() {
  static const OSVERSIONINFOEXW version = [] {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    return info;
  }();
  return version;
}

DWORD WindowsMajorVersion() { return WindowsVersion().dwMajorVersion; }

bool IsVistaOrLater() { return WindowsVersion().dwMajorVersion > 5; }
