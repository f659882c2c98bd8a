#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Where the build put the programs, as Wine sees it.
std::wstring BuiltProgram(const wchar_t* name);

struct ProcessResult {
  bool started = false;
  bool timedOut = false;
  DWORD exitCode = 0;
  std::vector<std::wstring> debugLines;  // OutputDebugString lines, when debugged
};

// Starts "program" with the argument string and waits for it. With
// captureDebugOutput the test acts as the program's debugger and collects
// what it writes to the debugger.
ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                         DWORD timeoutMs = 60000, bool captureDebugOutput = false);
