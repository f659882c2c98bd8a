#pragma once
#include <windows.h>

class SetupContext;
struct InstallOptions;

// The checks between the set-up of the context and the first window: refuses
// a newer installed version, a fresh install without machine-wide rights and
// unsupported Windows (one message box each, none when silent), and warns
// while a scan runs. FALSE when the installer must end (exit code 0).
BOOL RunPreChecks();
BOOL RunPreChecks(SetupContext& context, const InstallOptions& options,
                  const OSVERSIONINFOEXW& windows);
