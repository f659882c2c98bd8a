#pragma once
#include <windows.h>

#include "install/AutoLock.h"
#include "install/InstallCallback.h"
#include "unpack/ArchiveLibrary.h"

class SetupContext;

// The install worker: one thread that runs every extraction and
// registration step, driven by thread messages 5122 to 5125 and reporting
// through its observer. Commands run one at a time, to their end.
class InstallWorker {
 public:
  ~InstallWorker();

  // Starts the thread; context and the module holding the payload resources
  // stay the worker's for its whole life.
  BOOL Start(SetupContext* context, HMODULE resources);
  int SetObserver(IInstallCallback* observer);
  // Posts a command to the worker thread.
  BOOL Post(UINT command, WPARAM wParam);
  // Tells a running thread to quit once its command is done (up to five
  // posts) and waits for it at most timeoutMs. TRUE when no thread runs any
  // more.
  BOOL Stop(DWORD timeoutMs);

  DWORD threadId() const { return threadId_; }
  HANDLE thread() const { return thread_; }
  ArchiveLibrary& archiveLibrary() { return archiveLibrary_; }

 private:
  static unsigned __stdcall ThreadMain(void* argument);
  IInstallCallback* observer();
  void Extract();
  void StopProduct(WPARAM cleanFolder);
  void RunSchedule(WPARAM stopProductFirst);
  void WaitForUiThenRegisterShellExtensions();

  DWORD threadId_ = 0;
  HANDLE thread_ = nullptr;
  IInstallCallback* observer_ = nullptr;
  CAutoCriticalSection lock_;
  ArchiveLibrary archiveLibrary_;
  SetupContext* context_ = nullptr;
  HMODULE resources_ = nullptr;
  HANDLE queueReady_ = nullptr;
};
