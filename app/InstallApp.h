#pragma once
#include <windows.h>

#include "app/InstallOptions.h"

// The application object: one per process, reached through App().
class CInstallApp : public InstallOptions {
 public:
  // Fills the install options; FALSE when another installer instance runs.
  BOOL Init(HINSTANCE instance, const wchar_t* argumentString);
  // Everything after initialisation; returns the process exit code.
  int Run();
  BOOL StartUI();

  HINSTANCE instance = nullptr;
};

CInstallApp& App();
