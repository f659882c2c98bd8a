#include "ui/ScanNotice.h"

#include "install/ProductNames.h"
#include "util/MutexProbe.h"

namespace {

constexpr wchar_t kFullScanMutex[] = L"Global\\KelvoDsMainMutex_DsFullScanInProgress";
constexpr wchar_t kScanMutex[] = L"Global\\KelvoDsMainMutex_ScanInProgress";
constexpr wchar_t kScanNoticeText[] =
    L"Kelvo云查杀正在扫描，会影响云盘安装。\n请您关闭云查杀或等待扫描完成后再重试。";
constexpr wchar_t kIgnoreButtonText[] = L"忽略";

// The hook lives for one message box on the UI thread only.
HHOOK g_renameHook = nullptr;

// Renames the box's Cancel button to "忽略" as the box comes up.
LRESULT CALLBACK RenameCancelButton(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = g_renameHook;
  if (code == HCBT_ACTIVATE) {
    ::SetDlgItemTextW(reinterpret_cast<HWND>(wParam), IDCANCEL, kIgnoreButtonText);
    ::UnhookWindowsHookEx(hook);
    g_renameHook = nullptr;
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

BOOL IsScanInProgress() {
  BOOL fullScan = ProbeMutex(kFullScanMutex, nullptr, nullptr);
  BOOL scan = ProbeMutex(kScanMutex, nullptr, nullptr);
  return fullScan || scan;
}

void ScanNotice(HWND owner) {
  for (;;) {
    g_renameHook =
        ::SetWindowsHookExW(WH_CBT, &RenameCancelButton, nullptr, ::GetCurrentThreadId());
    // The real box, not the seam's: the hook must see its window.
    int answer = ::MessageBoxW(owner, kScanNoticeText, product::kInstallerTitle,
                               MB_RETRYCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2);
    if (g_renameHook) {
      ::UnhookWindowsHookEx(g_renameHook);
      g_renameHook = nullptr;
    }
    if (answer != IDRETRY || !IsScanInProgress()) return;
  }
}
