#include "install/OverlayLoad.h"

#include <shellapi.h>
#include <shlobj.h>

#include "util/Windows64.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kOverlayHandlersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";
constexpr DWORD kOverlayHandlerLimit = 13;

bool IsWindows7() {
  const OSVERSIONINFOEXW& version = WindowsVersion();
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 6 &&
         version.dwMinorVersion == 1;
}

}  // namespace

BOOL LoadOverlaysIfRoom() {
  if (!IsWindows7()) return FALSE;
  // The shell is 64-bit on 64-bit Windows: count the handlers it sees.
  REGSAM access = KEY_ENUMERATE_SUB_KEYS | (IsWindows64Bit() ? KEY_WOW64_64KEY : 0);
  HKEY handlers = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOverlayHandlersKey, 0, access, &handlers) !=
      ERROR_SUCCESS) {
    ::SHLoadNonloadedIconOverlayIdentifiers();
    return TRUE;
  }
  DWORD count = 0;
  for (;; ++count) {
    wchar_t name[1040];
    DWORD length = 1040;
    if (::RegEnumKeyExW(handlers, count, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
  }
  ::RegCloseKey(handlers);
  if (count >= kOverlayHandlerLimit) return FALSE;
  ::SHLoadNonloadedIconOverlayIdentifiers();
  return TRUE;
}
