#include "app/InstallApp.h"

#include <objidl.h>
// objidl.h first: gdiplus.h needs it under WIN32_LEAN_AND_MEAN.
#include <gdiplus.h>
#include <stdio.h>

#include "app/CommandLine.h"
#include "app/OptionSources.h"
#include "app/PreChecks.h"
#include "install/ProductNames.h"
#include "res/resource.h"
#include "ui/DisplayScale.h"
#include "ui/MessageLoop.h"
#include "ui/PrivateLicenceDlg.h"
#include "util/MutexProbe.h"

namespace {

constexpr DWORD kWorkerStopTimeoutMs = 30000;

void StartGdiplusOnce() {
  static ULONG_PTR token = 0;
  if (token) return;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

}  // namespace

CInstallApp& App() {
  static CInstallApp app;
  return app;
}

BOOL CInstallApp::Init(HINSTANCE module, const wchar_t* argumentString) {
  wchar_t self[260] = {};
  ::GetModuleFileNameW(nullptr, self, 260);
  wchar_t line[300] = {};
  _snwprintf(line, 299, L"[Brill] Init = %s\r\n", self);
  ::OutputDebugStringW(line);

  // The switches first: a silent second instance says so in its exit code.
  ParseCommandLine(*this, argumentString);
  // Created on the first call only; it keeps the mutex until the process ends.
  static SingleInstanceGuard guard(product::kInstallerTitle, self);
  if (guard.anotherInstanceRunning()) return FALSE;

  instance = module;
  skin.SetModule(ResourceModule());
  canWriteMachineRegistry = ProbeMachineRegistryWrite();
  ReadOwnVersion(*this);
  ReadInstalledPid(*this);
  ReadInstalledMid(*this);
  return TRUE;
}

int CInstallApp::Run() {
  context.options = *this;
  context.resources = ResourceModule();
  context.SetUp();
  if (!RunPreChecks()) return 0;

  CMessageLoop loop;
  WindowFramework::AddMessageLoop(&loop);
  // When StartUI fails the quit message with the exit code is already queued.
  StartUI();
  int exitCode = loop.Run();
  WindowFramework::RemoveMessageLoop();
  // Nothing may be freed under a running worker: it gets a bounded time to
  // finish its command, and one still running then ends with the process
  // here, before any destructor runs.
  if (!worker.Stop(kWorkerStopTimeoutMs)) ::ExitProcess(static_cast<UINT>(exitCode));
  return exitCode;
}

BOOL CInstallApp::StartUI() {
  skin.CreateFonts();
  // GDI+ stays up for the skin of a window that is shown; a silent upgrade
  // shows none (should its window come up after all, each image starts GDI+
  // for itself).
  if (!silent || context.installMode == kFreshInstall) StartGdiplusOnce();
  if (context.installMode == kFreshInstall) {
    CPrivateLicenceDlg agreement;
    if (agreement.Show(skin, worker, ::GetActiveWindow()) != IDOK) return FALSE;
  }
  StartWorker();
  return OpenMainWindow();
}

void CInstallApp::StartWorker() {
  worker.Start(&context, ResourceModule());
  worker.SetObserver(this);
}

BOOL CInstallApp::OpenMainWindow() {
  mainDlg.SetInitialClientSize(Scaled(570), Scaled(444));
  HWND mainWindow = mainDlg.Open(skin, worker, context);
  if (!mainWindow) {
    ::PostQuitMessage(0);
    return FALSE;
  }
  if (!silent) ::ShowWindow(mainWindow, SW_SHOW);
  return TRUE;
}

void CInstallApp::PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) {
  // The window's own handle: its first reports may come back before the
  // creation returns.
  HWND window = mainDlg.hwnd();
  if (::IsWindow(window)) ::PostMessageW(window, message, wParam, lParam);
}

int CInstallApp::OnExtractDone(BOOL success) {
  PostToMainWindow(success ? kMsgExtractDone : kMsgExtractFailed, 0, 0);
  // The new files are in place: the product may start again.
  context.ReleaseProductMutex();
  return 0;
}

int CInstallApp::OnProgress(int percent) {
  PostToMainWindow(kMsgProgress, static_cast<WPARAM>(percent), 0);
  return 0;
}

int CInstallApp::OnWaitForUi(HANDLE event) {
  PostToMainWindow(kMsgWaitForUi, 0, reinterpret_cast<LPARAM>(event));
  return 0;
}

int CInstallApp::OnShellExtensionsRegistered(BOOL result) {
  PostToMainWindow(kMsgShellExtensionsRegistered, static_cast<WPARAM>(result), 0);
  return 0;
}

int CInstallApp::OnProductStopped() {
  PostToMainWindow(kMsgProductStopped, 0, 0);
  return 0;
}

int CInstallApp::OnRecordsWritten() {
  PostToMainWindow(kMsgRecordsWritten, 0, 0);
  return 0;
}

int CInstallApp::OnInstallDone() {
  PostToMainWindow(kMsgInstallDone, 0, 0);
  return 0;
}
