#include "install/InstallWorker.h"

#include <objbase.h>
#include <process.h>

#include <string>
#include <vector>

#include "install/SetupContext.h"
#include "util/ElevationFlags.h"
#include "util/FolderOps.h"

InstallWorker::~InstallWorker() {
  if (thread_) ::CloseHandle(thread_);
  if (queueReady_) ::CloseHandle(queueReady_);
}

BOOL InstallWorker::Start(SetupContext* context, HMODULE resources) {
  context_ = context;
  resources_ = resources;
  queueReady_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, &InstallWorker::ThreadMain, this, 0, &id);
  if (!handle) return FALSE;
  thread_ = reinterpret_cast<HANDLE>(handle);
  threadId_ = id;
  // Thread messages posted before the thread has a queue would be lost.
  if (queueReady_) {
    HANDLE waits[2] = {queueReady_, thread_};
    ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  }
  return TRUE;
}

int InstallWorker::SetObserver(IInstallCallback* observer) {
  lock_.Lock();
  observer_ = observer;
  lock_.Unlock();
  return 1;
}

IInstallCallback* InstallWorker::observer() {
  lock_.Lock();
  IInstallCallback* current = observer_;
  lock_.Unlock();
  return current;
}

BOOL InstallWorker::Post(UINT command, WPARAM wParam) {
  return ::PostThreadMessageW(threadId_, command, wParam, 0);
}

BOOL InstallWorker::Stop(DWORD timeoutMs) {
  if (!thread_) return TRUE;
  if (::WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) return TRUE;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (Post(kCmdQuit, 0)) break;
  }
  return ::WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

unsigned __stdcall InstallWorker::ThreadMain(void* argument) {
  auto* worker = static_cast<InstallWorker*>(argument);
  if (!worker) return 0;
  ::CoInitialize(nullptr);
  MSG peek;
  ::PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  if (worker->queueReady_) ::SetEvent(worker->queueReady_);
  for (;;) {
    MSG msg = {};
    // A quit message (0) or an error (-1) does not end the worker; only 5125 does.
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) continue;
    if (msg.message == kCmdQuit) break;
    switch (msg.message) {
      case kCmdExtract:
        worker->Extract();
        break;
      case kCmdInstall:
        worker->RunSchedule(msg.wParam);
        break;
      case kCmdStopProduct:
        worker->StopProduct(msg.wParam);
        break;
      default:
        break;
    }
  }
  ::CoUninitialize();
  return 0;
}

void InstallWorker::Extract() {
  std::wstring folder = context_->installDir;
  ExtractedItems* record = nullptr;
  if (context_->installMode == kFreshInstall) {
    record = &context_->preExtracted;
    record->Clear();
    record->CreateFolder(folder);
  } else {
    CreateFolderTree(folder.c_str());
  }
  BOOL result = FALSE;
  if (!archiveLibrary_.loaded()) {
    archiveLibrary_.LoadArchiveLibrary(resources_, L"IDR_7Z_CAB_DLL", L"DLL");
  }
  if (archiveLibrary_.loaded()) {
    std::vector<RetiredFile> retired = context_->PrepareShellExtensionUpdate();
    archiveLibrary_.spreadPermissions = context_->options.canWriteMachineRegistry != FALSE;
    result = archiveLibrary_.ExtractMainArchive(resources_, L"ID_KELVOZIP_MAIN", L"BINARY", folder,
                                                record);
    // The product must stay whole: its shell DLLs come back when the new
    // ones did not arrive.
    if (result) {
      SetupContext::DiscardRetiredCopies(retired);
    } else {
      context_->PutBackShellExtensions(retired);
    }
  }
  if (IInstallCallback* observer = this->observer()) observer->OnExtractDone(result);
}

void InstallWorker::StopProduct(WPARAM cleanFolder) {
  context_->StopRunningProduct(cleanFolder);
  if (IInstallCallback* observer = this->observer()) observer->OnProductStopped();
}

void InstallWorker::WaitForUiThenRegisterShellExtensions() {
  // The one synchronous hand-off: the window shows the scan notice if needed,
  // then sets the event. Without an observer nobody would ever set it.
  if (IInstallCallback* observer = this->observer()) {
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    observer->OnWaitForUi(event);
    if (event) {
      ::WaitForSingleObject(event, INFINITE);
      ::CloseHandle(event);
    }
  }
  BOOL registered = context_->RegisterShellExtensions();
  if (IInstallCallback* observer = this->observer()) {
    observer->OnShellExtensionsRegistered(registered);
  }
  if (!registered) context_->RequestProductRegistration();
}

void InstallWorker::RunSchedule(WPARAM stopProductFirst) {
  if (!observer()) return;
  for (int percent = 2; percent <= 100; percent += 2) {
    if (IInstallCallback* observer = this->observer()) observer->OnProgress(percent);
    if (percent == 2 && stopProductFirst) {
      context_->StopRunningProduct();
      context_->CreateProductMutex();
    }
    if (percent == 30) {
      // Machine-wide registration needs rights a per-user install lacks.
      if (GreenMode) {
        ::Sleep(10);
        continue;
      }
      WaitForUiThenRegisterShellExtensions();
    }
    if (percent == 50) {
      context_->WriteRegistryRecords();
      archiveLibrary_.ReleaseArchiveLibrary();
      if (IInstallCallback* observer = this->observer()) observer->OnRecordsWritten();
      if (GreenMode) context_->CreateDesktopShortcut();
    }
    if (percent == 80) {
      if (GreenMode) {
        ::Sleep(10);
        continue;
      }
      context_->RegisterNamespaceFolderStep();
      context_->RefreshShellStep();
    }
    if (percent == 100) {
      context_->PostInstallLaunch();
      if (IInstallCallback* observer = this->observer()) observer->OnInstallDone();
    }
    if (GreenMode) ::Sleep(10);
  }
}
