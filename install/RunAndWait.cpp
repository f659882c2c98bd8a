#include "install/RunAndWait.h"

#include <string>

HANDLE StartHidden(const wchar_t* commandLine) {
  if (!commandLine) return nullptr;
  // CreateProcessW may write into the command line.
  std::wstring writable(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
    return nullptr;
  }
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

BOOL WaitForSuccess(HANDLE process) {
  if (!process) return FALSE;
  while (::WaitForSingleObject(process, 1000) == WAIT_TIMEOUT) {
  }
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process, &exitCode);
  ::CloseHandle(process);
  return exitCode == 0;
}

BOOL RunAndWait(const wchar_t* commandLine, BOOL wait) {
  HANDLE process = StartHidden(commandLine);
  if (!process) return FALSE;
  if (!wait) {
    ::CloseHandle(process);
    return TRUE;
  }
  return WaitForSuccess(process);
}
