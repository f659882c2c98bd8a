#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// What an install leaves on the machine, read back the way an administrator
// would look, and the traces the product stand-ins leave when started.
std::wstring ShellFolder(int csidl);
// Program Files\Kelvo\Kelvopeltbox: where a fresh install goes by default.
std::wstring DefaultInstallFolder();
std::wstring MainExe(const std::wstring& folder);
// A value of the product's uninstall entry, or "".
std::wstring UninstallValue(const wchar_t* name);
// Where the build assembled the payload.
std::wstring PayloadFolder();
// True when folder holds every payload file and folder, byte for byte.
::testing::AssertionResult HoldsThePayload(const std::wstring& folder);
// How many processes run this program (by file name) now.
int RunningCount(const wchar_t* exeName);
// The file name of the program that started the first process of this
// program (by file name), while both run; "" otherwise.
std::wstring ParentProgram(const wchar_t* exeName);
// Ends every product and intro process.
void EndProductProcesses();

// The product's main program built with another version resource and signed
// like the payload (tests/CMakeLists.txt); "1.0.1.1029" is the toolbar DLL.
std::wstring StandInOfVersion(const wchar_t* version, const wchar_t* file);
// Makes the installed product read as another version: its main program
// replaced by the build's copy of that version.
bool MakeInstalledVersion(const std::wstring& folder, const wchar_t* version);
// Creates a stand-in flag file (e.g. "ignore-close": the product stays deaf
// to WM_CLOSE) for every stand-in started afterwards.
bool SetStandInFlag(const wchar_t* name);
// The first launch-log line (a stand-in's command line as it saw it) that
// contains token, waited for; "" after the time-out.
std::wstring WaitForLaunchLine(const std::wstring& token, DWORD timeoutMs = 20000);
