#include "install/RunAndWait.h"

#include <string>

BOOL RunAndWait(const wchar_t* commandLine, BOOL wait) {
  if (!commandLine) return FALSE;
  // CreateProcessW may write into the command line.
  std::wstring writable(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
    return FALSE;
  }
  ::CloseHandle(process.hThread);
  if (!wait) {
    ::CloseHandle(process.hProcess);
    return TRUE;
  }
  while (::WaitForSingleObject(process.hProcess, 1000) == WAIT_TIMEOUT) {
  }
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  return exitCode == 0;
}
