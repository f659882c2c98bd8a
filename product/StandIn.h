// What the stand-in programs share: the launch log the tests read and the
// flag files the tests drop to ask for misbehaviour.
#pragma once
#include <windows.h>

// Appends this process's command line (as GetCommandLineW gives it) and CRLF
// to %APPDATA%\KelvoStandIn\launch.log, UTF-8, in a single write.
void StandInRecordLaunch(void);

// Whether the flag file %APPDATA%\KelvoStandIn\<name> applies to this start:
// an empty file applies to every start, one holding text (UTF-8) only to
// starts whose command line contains that text, so a test can aim a flag at
// its own start without disturbing others running at the same time.
BOOL StandInFlagApplies(const wchar_t* name);

// The command line after the program's own name.
const wchar_t* StandInArguments(const wchar_t* commandLine);
