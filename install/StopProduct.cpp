#include "install/StopProduct.h"

#include <shlwapi.h>

#include "install/ProcessList.h"
#include "install/ProductNames.h"
#include "install/SetupContext.h"
#include "util/FolderOps.h"

namespace {

constexpr wchar_t kIntroExe[] = L"KelvoCloudIntro.exe";
constexpr wchar_t kTrayWindowTitle[] = L"Kelvoenterpriseboxtray";
constexpr int kCloseAttempts = 10;
constexpr DWORD kTerminateWaitMs = 3000;

}  // namespace

BOOL IsProductRunning() { return IsProcessRunning(product::kMainExe); }

LRESULT AskWindowToClose(HWND window) {
  if (!::IsWindow(window)) return 0;
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 200, &answer);
}

// Asks the tray window first, so the product can save its state; whatever
// is left after that is terminated.
void SetupContext::StopRunningProduct() {
  if (!IsProductRunning()) return;
  HWND tray = ::FindWindowW(nullptr, kTrayWindowTitle);
  for (int attempt = 0; attempt < kCloseAttempts; ++attempt) {
    if (!::IsWindow(tray)) break;
    AskWindowToClose(tray);
    // The intro program does not follow the tray window out.
    TerminateProcessesByName(kIntroExe, kTerminateWaitMs);
    if (!IsProductRunning()) break;
    ::Sleep(100);
  }
  if (IsProductRunning()) {
    TerminateProcessesByName(product::kMainExe, kTerminateWaitMs);
    TerminateProcessesByName(kIntroExe, kTerminateWaitMs);
  }
}

void SetupContext::StopRunningProduct(WPARAM cleanFolder) {
  // A fresh install moving elsewhere drops what it pre-extracted, and only
  // that: the folder may have held files of the user's before.
  if (installMode == kFreshInstall && cleanFolder) preExtracted.RemoveAll();
  StopRunningProduct();
  CreateProductMutex();
}
