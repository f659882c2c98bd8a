#pragma once
#include <windows.h>

#include "app/InstallOptions.h"
#include "app/SetupContext.h"
#include "install/InstallCallback.h"
#include "install/InstallWorker.h"

// The application object: one per process, reached through App(). As the
// worker's observer it only posts window messages to the main window.
class CInstallApp : public InstallOptions, public IInstallCallback {
 public:
  // Fills the install options; FALSE when another installer instance runs.
  BOOL Init(HINSTANCE instance, const wchar_t* argumentString);
  // Everything after initialisation; returns the process exit code.
  int Run();
  BOOL StartUI();

  int OnExtractDone(BOOL success) override;
  int OnProgress(int percent) override;
  int OnWaitForUi(HANDLE event) override;
  int OnShellExtensionsRegistered(BOOL result) override;
  int OnProductStopped() override;
  int OnRecordsWritten() override;
  int OnInstallDone() override;

  HINSTANCE instance = nullptr;
  SetupContext context;
  // The main window, target of every message the worker's reports post.
  HWND mainWindow = nullptr;
  InstallWorker worker;

 private:
  void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam);
};

CInstallApp& App();
