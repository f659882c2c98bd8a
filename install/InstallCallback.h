#pragma once
#include <windows.h>

// What the install worker reports, in this slot order. The application's
// implementation only posts window messages to the main window.
class IInstallCallback {
 public:
  virtual int OnExtractDone(BOOL success) = 0;
  virtual int OnProgress(int percent) = 0;
  virtual int OnWaitForUi(HANDLE event) = 0;
  virtual int OnShellExtensionsRegistered(BOOL result) = 0;
  virtual int OnProductStopped() = 0;
  virtual int OnRecordsWritten() = 0;
  virtual int OnInstallDone() = 0;

 protected:
  ~IInstallCallback() = default;
};

// Window messages posted to the main window.
enum : UINT {
  kMsgExtractFailed = 5131,
  kMsgExtractDone = 5132,
  kMsgProgress = 5133,
  kMsgWaitForUi = 5134,
  kMsgShellExtensionsRegistered = 5135,
  kMsgRecordsWritten = 5136,
  kMsgInstallDone = 5137,
  kMsgProductStopped = 5138,
};

// Thread messages to the worker.
enum : UINT {
  kCmdExtract = 5122,
  kCmdInstall = 5123,
  kCmdStopProduct = 5124,
  kCmdQuit = 5125,
};
