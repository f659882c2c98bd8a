#include "unpack/WorkFolder.h"

#include <sddl.h>
#include <stdio.h>
#include <wchar.h>

#include "unpack/TempPath.h"
#include "util/FolderOps.h"

namespace {

constexpr int kNameAttempts = 10;
// Full control for Administrators and SYSTEM, handed on to every file and
// folder below; nothing inherited from the parent.
constexpr wchar_t kAdministratorsAndSystemOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

wchar_t g_path[MAX_PATH] = {};
HANDLE g_hold = INVALID_HANDLE_VALUE;
bool g_required = false;

typedef DWORD(WINAPI* GetTempPath2Func)(DWORD length, LPWSTR buffer);

// GetTempPath2W (Windows 11, 10 with the 2022 updates) gives SYSTEM its own
// folder but every other process the user's %TEMP%, which the user's
// programs may write: only an answer other than that one is taken.
bool SystemTempFolder(wchar_t (&folder)[MAX_PATH]) {
  auto getTempPath2 = reinterpret_cast<GetTempPath2Func>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  if (getTempPath2) {
    wchar_t user[MAX_PATH] = {};
    DWORD length = getTempPath2(MAX_PATH, folder);
    DWORD userLength = ::GetTempPathW(MAX_PATH, user);
    if (length > 0 && length < MAX_PATH && (userLength == 0 || _wcsicmp(folder, user) != 0)) {
      return true;
    }
  }
  UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 6) return false;
  wcscat(folder, folder[length - 1] == L'\\' ? L"Temp\\" : L"\\Temp\\");
  return true;
}

bool IsPlainFolder(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return ::GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
             FILE_ATTRIBUTE_DIRECTORY;
}

}  // namespace

bool CreateWorkFolder() {
  g_required = true;
  if (g_path[0]) return true;
  wchar_t root[MAX_PATH] = {};
  if (!SystemTempFolder(root)) return false;
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          kAdministratorsAndSystemOnly, SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
    return false;
  }
  for (int attempt = 0; attempt < kNameAttempts && !g_path[0]; ++attempt) {
    wchar_t path[MAX_PATH] = {};
    int written = _snwprintf(path, MAX_PATH - 1, L"%ls%ls.tmp", root, NewBracedGuid().c_str());
    if (written < 0 || written >= MAX_PATH - 1) break;
    // Made here and now, never found: a name someone else made first is
    // theirs, and another one is tried.
    if (!::CreateDirectoryW(path, &security)) {
      if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
      break;
    }
    // No sharing for deletion: nobody can remove or rename it under the run.
    HANDLE hold = ::CreateFileW(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hold == INVALID_HANDLE_VALUE || !IsPlainFolder(hold)) {
      if (hold != INVALID_HANDLE_VALUE) ::CloseHandle(hold);
      ::RemoveDirectoryW(path);
      break;
    }
    g_hold = hold;
    _snwprintf(g_path, MAX_PATH - 1, L"%ls\\", path);
  }
  ::LocalFree(security.lpSecurityDescriptor);
  return g_path[0] != L'\0';
}

const wchar_t* WorkFolderPath() { return g_path; }

bool WorkFolderRequired() { return g_required; }

void RemoveWorkFolder() {
  if (!g_path[0]) return;
  ::CloseHandle(g_hold);
  g_hold = INVALID_HANDLE_VALUE;
  wchar_t folder[MAX_PATH] = {};
  wcsncpy(folder, g_path, MAX_PATH - 1);
  folder[wcslen(folder) - 1] = L'\0';
  g_path[0] = L'\0';
  // The folder goes with its last file once that one is free.
  if (!DeleteDirectoryTreeDeferred(folder)) {
    ::MoveFileExW(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}
