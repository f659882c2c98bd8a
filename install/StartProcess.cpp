#include "install/StartProcess.h"

#include <string>

#include "util/TokenRights.h"
#include "util/WindowsVersion.h"

namespace {

// A primary token copied from the process that owns the desktop shell
// window: the user's unelevated rights.
HANDLE ShellUserToken() {
  HWND shellWindow = ::GetShellWindow();
  DWORD shellProcessId = 0;
  if (!shellWindow || !::GetWindowThreadProcessId(shellWindow, &shellProcessId) ||
      !shellProcessId) {
    return nullptr;
  }
  HANDLE shellProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId);
  if (!shellProcess) return nullptr;
  HANDLE shellToken = nullptr;
  HANDLE primary = nullptr;
  if (::OpenProcessToken(shellProcess, TOKEN_DUPLICATE, &shellToken)) {
    constexpr DWORD kAccess = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                              TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID;
    if (!::DuplicateTokenEx(shellToken, kAccess, nullptr, SecurityImpersonation, TokenPrimary,
                            &primary)) {
      primary = nullptr;
    }
    ::CloseHandle(shellToken);
  }
  ::CloseHandle(shellProcess);
  return primary;
}

BOOL StartWithShellToken(std::wstring commandLine) {
  // Looked up at run time: Windows XP lacks it.
  typedef BOOL(WINAPI * CreateProcessWithTokenFn)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                                  LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
  HMODULE advapi = ::GetModuleHandleW(L"advapi32");
  auto createWithToken = advapi ? reinterpret_cast<CreateProcessWithTokenFn>(reinterpret_cast<void*>(
                                      ::GetProcAddress(advapi, "CreateProcessWithTokenW")))
                                : nullptr;
  if (!createWithToken) return FALSE;
  HANDLE token = ShellUserToken();
  if (!token) return FALSE;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  BOOL started = createWithToken(token, 0, nullptr, &commandLine[0], 0, nullptr, nullptr,
                                           &startup, &process);
  ::CloseHandle(token);
  if (!started) return FALSE;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return TRUE;
}

}  // namespace

BOOL StartProcess(const wchar_t* commandLine) {
  if (!commandLine || !*commandLine) return FALSE;
  // An elevated installer never hands its own rights to the product: without
  // the shell's token it is not started at all.
  if (IsVistaOrLater() && IsElevated()) return StartWithShellToken(commandLine);
  std::wstring writable(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return FALSE;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return TRUE;
}
