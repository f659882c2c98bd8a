#pragma once
#include <windows.h>

struct InstallOptions;

// The option sources besides the command line, each run once at start-up.

// Writes and deletes a probe key under HKEY_CLASSES_ROOT: can this process
// write machine-wide registration?
BOOL ProbeMachineRegistryWrite();
// ownVersion from the installer's own file.
void ReadOwnVersion(InstallOptions& options);
// An earlier installation's "pid" wins over "/pid=".
void ReadInstalledPid(InstallOptions& options);
// An earlier installation's "mid", else a newly generated machine id.
void ReadInstalledMid(InstallOptions& options);
