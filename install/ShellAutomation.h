#pragma once
#include <windows.h>
#include <shldisp.h>

// Starting programs through the running desktop shell, so that they get the
// shell's rights rather than an elevated installer's. COM must be
// initialised by the caller.

// The desktop's IShellDispatch2, or null when the shell cannot be reached.
// The caller releases it. The shell's ShellWindows object is asked for in
// serverContext.
IShellDispatch2* GetExplorerShellDispatch(DWORD serverContext = CLSCTX_LOCAL_SERVER);

// Has the shell start file with arguments (none when null) and show
// command. TRUE only when the shell accepted the request.
BOOL ShellExecuteInExplorer(IShellDispatch2* dispatch, const wchar_t* file,
                            const wchar_t* arguments, int showCommand);

// The two above in one: the running shell, reached afresh, starts file.
BOOL ShellExecuteThroughDesktopShell(const wchar_t* file, const wchar_t* arguments,
                                     int showCommand);
