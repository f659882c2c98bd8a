#include "unpack/TrustedLoad.h"

#include <winioctl.h>

#include <stdio.h>
#include <string.h>

#include "unpack/HeldFile.h"
#include "unpack/SignatureCheck.h"
#include "util/LibraryLoadFlags.h"
#include "util/SystemSeam.h"

namespace {

constexpr const char* kSystemFolderLibraries[] = {
    "msimg32.dll",  "usp10.dll",       "lpk.dll",        "ws2_32.dll",   "dbghelp.dll",
    "dbgcore.dll",  "PROPSYS.dll",     "IPHLPAPI.dll",   "urlmon.dll",   "TextSharping.dll",
    "profapi.dll",  "svrcli.dll",      "iertutil.dll",   "netutils.dll", "shlwapi.dll",
    "setupapi.dll", "wbemuuid.dll",    "version.dll",    "comctl32.dll", "GdiPlus.dll",
    "psapi.dll",    "shell32.dll",
};

constexpr wchar_t kSelfProtectionDevice[] = L"\\\\.\\KelvoSelfProtection";
// Device type 0x22, function 0x813, buffered, any access.
constexpr DWORD kSelfProtectionQuery = CTL_CODE(0x22, 0x813, METHOD_BUFFERED, FILE_ANY_ACCESS);
static_assert(kSelfProtectionQuery == 0x22204C, "the driver's control code");

constexpr LONG kLevelUntrusted = 3;
constexpr LONG kLevelUndetermined = -1;


// Dependencies of a loaded library come from the system folder only.
HMODULE LoadPath(const wchar_t* path) {
  return ::LoadLibraryExW(path, nullptr, SystemFolderOnlyLoadFlags());
}

}  // namespace

DWORD QuerySelfProtection() {
  HANDLE device = Seam().CreateFileW(kSelfProtectionDevice, FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return 0;
  DWORD processId = ::GetCurrentProcessId();
  DWORD answer = 0;
  DWORD returned = 0;
  BOOL ok = Seam().DeviceIoControl(device, kSelfProtectionQuery, &processId, sizeof(processId),
                                   &answer, sizeof(answer), &returned, nullptr);
  Seam().CloseHandle(device);
  return ok ? answer : 0;
}

HMODULE LoadTrustedLibrary(const wchar_t* libraryPath) {
  if (!libraryPath || !*libraryPath) return nullptr;

  // Already in the process: trusted by whoever loaded it; take another reference.
  if (HMODULE loaded = ::GetModuleHandleW(libraryPath)) {
    wchar_t fullName[520] = {};
    DWORD length = ::GetModuleFileNameW(loaded, fullName, 520);
    if (length >= 1 && length <= 519) return LoadPath(fullName);
  }

  if (QuerySelfProtection() != 0) return LoadPath(libraryPath);

  // Checked and loaded under one hold: the file loaded is the file checked.
  HeldFile file(libraryPath);
  LONG level = kLevelUndetermined;
  if (!file.held() || !VerifyOpenFileSignature(file.handle(), &level)) return nullptr;
  if (level == kLevelUntrusted || level == kLevelUndetermined) return nullptr;
  return LoadPath(libraryPath);
}

bool IsSystemFolderLibrary(const char* name) {
  if (!name) return false;
  for (const char* listed : kSystemFolderLibraries) {
    if (_stricmp(name, listed) == 0) return true;
  }
  return false;
}

HMODULE LoadFromSystemFolder(const char* name) {
  char folder[MAX_PATH] = {};
  UINT length = ::GetSystemDirectoryA(folder, MAX_PATH - 1);
  char path[MAX_PATH] = {};
  if (length == 0 || length >= MAX_PATH - 1 ||
      _snprintf(path, MAX_PATH - 1, "%s\\%s", folder, name) < 0) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  HMODULE module = ::LoadLibraryExA(path, nullptr, SystemLibraryLoadFlags());
  // Windows XP keeps GDI+ side by side only: by name, where side by side
  // redirects the name, which no file beside the program can change.
  ACTCTX_SECTION_KEYED_DATA redirection = {sizeof(redirection)};
  if (!module && ::FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                            name, &redirection)) {
    module = ::LoadLibraryA(name);
  }
  if (!module) ::SetLastError(ERROR_FILE_NOT_FOUND);
  return module;
}

FARPROC WINAPI SystemDllLoadHook(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !IsSystemFolderLibrary(info->szDll)) {
    return nullptr;
  }
  if (HMODULE module = LoadFromSystemFolder(info->szDll)) return reinterpret_cast<FARPROC>(module);
  // Fail the load the way the delay-load helper itself does, rather than
  // returning null and letting it search the application's folder.
  info->dwLastError = ERROR_FILE_NOT_FOUND;
  ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
  ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
  return nullptr;
}
