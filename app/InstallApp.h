#pragma once
#include <windows.h>

#include "install/InstallCallback.h"
#include "install/InstallOptions.h"
#include "install/InstallWorker.h"
#include "install/SetupContext.h"
#include "ui/MainDlg.h"
#include "ui/SkinResources.h"

// The application object: one per process, reached through App(). As the
// worker's observer it only posts window messages to the main window.
class CInstallApp : public InstallOptions, public IInstallCallback {
 public:
  // Fills the install options; FALSE when another installer instance runs.
  BOOL Init(HINSTANCE instance, const wchar_t* argumentString);
  // Everything after initialisation; returns the process exit code.
  int Run();
  BOOL StartUI();
  // StartUI after the agreement, in two steps: the worker thread with this
  // object as its observer, then the main window (shown unless silent).
  void StartWorker();
  BOOL OpenMainWindow();

  int OnExtractDone(BOOL success) override;
  int OnProgress(int percent) override;
  int OnWaitForUi(HANDLE event) override;
  int OnShellExtensionsRegistered(BOOL result) override;
  int OnProductStopped() override;
  int OnRecordsWritten() override;
  int OnInstallDone() override;

  // Where the windows load their resources from: this executable.
  HMODULE ResourceModule() const { return instance ? instance : ::GetModuleHandleW(nullptr); }

  HINSTANCE instance = nullptr;
  SetupContext context;
  CMainDlg mainDlg;
  SkinResources skin;
  InstallWorker worker;

 private:
  void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam);
};

CInstallApp& App();
