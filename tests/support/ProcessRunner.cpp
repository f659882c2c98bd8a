#include "support/ProcessRunner.h"

std::wstring BuiltProgram(const wchar_t* name) {
  return std::wstring(KELVO_BINARY_DIR_WIN) + L"\\" + name;
}

namespace {

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  size_t units = info.nDebugStringLength;
  if (units == 0) return std::wstring();
  if (info.fUnicode) {
    std::wstring text(units, L'\0');
    SIZE_T got = 0;
    ::ReadProcessMemory(process, info.lpDebugStringData, &text[0], units * sizeof(wchar_t), &got);
    text.resize(got / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }
  std::string narrow(units, '\0');
  SIZE_T got = 0;
  ::ReadProcessMemory(process, info.lpDebugStringData, &narrow[0], units, &got);
  narrow.resize(got);
  while (!narrow.empty() && narrow.back() == '\0') narrow.pop_back();
  int wide = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                   nullptr, 0);
  std::wstring text(wide, L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), &text[0], wide);
  return text;
}

// Waits for the process while serving this thread's windows, so a program
// that sends a message to one of them is not blocked.
bool WaitPumpingMessages(HANDLE process, DWORD timeoutMs) {
  DWORD deadline = ::GetTickCount() + timeoutMs;
  for (;;) {
    LONG left = static_cast<LONG>(deadline - ::GetTickCount());
    if (left <= 0) return false;
    DWORD woke = ::MsgWaitForMultipleObjects(1, &process, FALSE, static_cast<DWORD>(left),
                                             QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

}  // namespace

ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                         DWORD timeoutMs, bool captureDebugOutput) {
  ProcessResult result;
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  DWORD flags = captureDebugOutput ? DEBUG_ONLY_THIS_PROCESS : 0;
  if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &info)) {
    return result;
  }
  result.started = true;
  if (captureDebugOutput) {
    DWORD deadline = ::GetTickCount() + timeoutMs;
    for (;;) {
      DEBUG_EVENT event = {};
      DWORD now = ::GetTickCount();
      if (static_cast<LONG>(deadline - now) <= 0 ||
          !::WaitForDebugEvent(&event, deadline - now)) {
        result.timedOut = true;
        ::TerminateProcess(info.hProcess, 259);
        ::DebugActiveProcessStop(info.dwProcessId);
        break;
      }
      DWORD status = DBG_CONTINUE;
      if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
        result.debugLines.push_back(ReadDebugString(info.hProcess, event.u.DebugString));
      } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                 event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
        status = DBG_EXCEPTION_NOT_HANDLED;
      } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
        if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
      } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
        if (event.u.LoadDll.hFile) ::CloseHandle(event.u.LoadDll.hFile);
      }
      bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
      ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
      if (exited) break;
    }
  }
  if (!WaitPumpingMessages(info.hProcess, timeoutMs)) {
    result.timedOut = true;
    ::TerminateProcess(info.hProcess, 259);
    ::WaitForSingleObject(info.hProcess, 5000);
  }
  ::GetExitCodeProcess(info.hProcess, &result.exitCode);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return result;
}
