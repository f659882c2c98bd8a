#pragma once
#include <windows.h>
#include <string>

struct InstallOptions;

// Switch matching is case-sensitive and runs on at most the first
// kWorkingBufferChars characters of the argument string.
constexpr size_t kWorkingBufferChars = 258;

BOOL HasSwitch(const wchar_t* text, const wchar_t* switchText);
BOOL GetSwitchValue(const wchar_t* text, const wchar_t* prefix, wchar_t* out, size_t outCapacity);
std::wstring ValueAfterEquals(const std::wstring& argument);
std::wstring ParseInstallDir(const wchar_t* text);

// Fills silent, installDirOverride, silentRun and pid. Never fails.
void ParseCommandLine(InstallOptions& options, const wchar_t* argumentString);
