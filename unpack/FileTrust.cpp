#include "unpack/FileTrust.h"

#include <wchar.h>

#include "unpack/BaseLibrary.h"
#include "unpack/KelvoPublicDLLHelper.h"
#include "unpack/TrustedLoad.h"

namespace {

constexpr LONG kLevelUntrusted = 3;

// The security suite's install folder with a trailing backslash; read until
// found, then kept for the process.
wchar_t g_suiteFolder[MAX_PATH];
size_t g_suiteFolderLength = 0;

void FindSuiteFolder() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoSafe.exe",
                      0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  wchar_t folder[MAX_PATH + 1] = {};
  DWORD size = 520;
  DWORD type = 0;
  LONG result =
      ::RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(folder), &size);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return;
  folder[MAX_PATH - 1] = L'\0';
  size_t length = wcslen(folder);
  if (length == 0) return;
  if (folder[length - 1] != L'\\') {
    if (length + 1 >= MAX_PATH) return;
    folder[length++] = L'\\';
    folder[length] = L'\0';
  }
  wcscpy(g_suiteFolder, folder);
  g_suiteFolderLength = length;
}

}  // namespace

BOOL IsTrustedFile(const wchar_t* path) {
  if (!path || !*path) return FALSE;
  if (g_suiteFolderLength == 0) FindSuiteFolder();
  // The suite's own files are guarded by its driver.
  if (g_suiteFolderLength != 0 && _wcsnicmp(path, g_suiteFolder, g_suiteFolderLength) == 0 &&
      QuerySelfProtection() != 0) {
    return TRUE;
  }
  if (!LoadBaseLibrary()) return FALSE;
  LONG level = 0;
  return CKelvoBaseExportFuncs::Instance().CheckFileTrust(path, &level) &&
         level != kLevelUntrusted;
}
