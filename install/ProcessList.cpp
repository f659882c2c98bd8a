#include "install/ProcessList.h"

// The PSAPI exports themselves: their kernel32 aliases (K32*) start with
// Windows 7, and the installer runs on XP and Vista too.
#define PSAPI_VERSION 1
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

namespace {

constexpr DWORD kQueryAndTerminate = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE;
constexpr DWORD kMaxProcessIds = 1024;
// PROCESS_ALL_ACCESS as Windows XP knows it; the headers' value (0x1FFFFF,
// Vista and later) carries bits XP refuses, and the open fails there.
constexpr DWORD kAllAccessXp = 0x1F0FFF;

// Ids of every process, at most 1024 of them; empty when unreadable.
bool ListProcessIds(std::vector<DWORD>* ids) {
  ids->assign(kMaxProcessIds, 0);
  DWORD bytes = 0;
  if (!::EnumProcesses(ids->data(), kMaxProcessIds * sizeof(DWORD), &bytes)) {
    ids->clear();
    return false;
  }
  ids->resize(bytes / sizeof(DWORD));
  return true;
}

// Only the first module names the executable.
bool HasBaseName(HANDLE process, const wchar_t* baseName) {
  HMODULE first = nullptr;
  DWORD needed = 0;
  if (!::EnumProcessModules(process, &first, sizeof(first), &needed) || !first) return false;
  wchar_t name[260] = {};
  if (!::GetModuleBaseNameW(process, first, name, 260)) return false;
  return lstrcmpiW(name, baseName) == 0;
}

}  // namespace

BOOL IsProcessRunning(const wchar_t* baseName) {
  std::vector<DWORD> ids;
  if (!ListProcessIds(&ids) || ids.empty()) return FALSE;
  for (DWORD id : ids) {
    HANDLE process = ::OpenProcess(kQueryAndTerminate, FALSE, id);
    if (!process) continue;
    bool match = HasBaseName(process, baseName);
    ::CloseHandle(process);
    if (match) return TRUE;
  }
  return FALSE;
}

int TerminateProcessesByName(const wchar_t* baseName, DWORD timeoutMs) {
  std::vector<DWORD> ids;
  if (!ListProcessIds(&ids)) return -1;
  std::vector<HANDLE> ended;
  for (DWORD id : ids) {
    HANDLE process = ::OpenProcess(kAllAccessXp, FALSE, id);
    if (!process) continue;
    if (!HasBaseName(process, baseName)) {
      ::CloseHandle(process);
      continue;
    }
    ::TerminateProcess(process, 0);
    // One wait covers at most MAXIMUM_WAIT_OBJECTS handles; the rest are
    // terminated without being waited for.
    if (ended.size() < MAXIMUM_WAIT_OBJECTS) {
      ended.push_back(process);
    } else {
      ::CloseHandle(process);
    }
  }
  if (!ended.empty()) {
    ::WaitForMultipleObjects(static_cast<DWORD>(ended.size()), ended.data(), TRUE, timeoutMs);
    for (HANDLE process : ended) ::CloseHandle(process);
  }
  return 0;
}

BOOL ProcessExistsInSnapshot(const wchar_t* exeName) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return FALSE;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  BOOL found = FALSE;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found = lstrcmpiW(entry.szExeFile, exeName) == 0;
  }
  ::CloseHandle(snapshot);
  return found;
}
