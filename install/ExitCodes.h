#pragma once

// Exit codes of a silent run that could not install: a deployment tool
// waits for the process and reads what happened from its code. An
// interactive run shows its page instead and ends with 0. The agreement
// dialog's own codes (2 and 1010) stay its own.
enum SilentExitCode : int {
  kExitInstalled = 0,
  kExitAnotherInstance = 3,     // another installer instance was running
  kExitFolderRefused = 4,       // the install folder cannot be written
  kExitPackageDamaged = 5,      // the payload did not extract (damaged, disk full, ...)
  kExitNoAdministrator = 6,     // no administrator rights (the per-user question)
  kExitOutOfResources = 7,      // memory or a string limit ran out: stopped at once
};
