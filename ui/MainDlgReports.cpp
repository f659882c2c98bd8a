// The main window's answers to the install worker's reports.
#include "install/ExitCodes.h"
#include "res/resource.h"
#include "ui/MainDlg.h"
#include "ui/ScanNotice.h"

void CMainDlg::OnExtractFailed() {
  // A silent run has nobody to read the page: it ends and says why.
  if (silent()) {
    EndSilentRun(kExitPackageDamaged);
    return;
  }
  for (int id : {IDC_EXPAND_ARROW, IDC_COLLAPSE_ARROW, IDC_CUSTOM_LINK}) {
    ::ShowWindow(Item(id), SW_HIDE);
  }
  SetStatusLine(Text(IDS_PACKAGE_DAMAGED), RGB(255, 77, 92));
  closeButton_.SetImageList(skin_->CloseButtonImages());
  ::EnableWindow(Item(IDC_CLOSE_BUTTON), TRUE);
  SetMainButton(Text(IDS_EXIT_SETUP), true, true);
}

// The worker is gone (its thread ended or never ran): nothing can be
// installed from here on.
void CMainDlg::OnWorkerUnreachable() {
  // A click may already have turned to the progress page.
  if (progressBar_.hwnd()) ::ShowWindow(progressBar_.hwnd(), SW_HIDE);
  ::ShowWindow(Item(IDC_PROGRESS_TEXT), SW_HIDE);
  // Closing then removes the pre-extracted files, as it does on the ready page.
  if (context_->installMode == kFreshInstall) cleanupOnClose_ = TRUE;
  OnExtractFailed();
}

void CMainDlg::OnExtractDone() {
  int mode = context_->installMode;
  if (mode == kUpgrade || mode == kOverwrite) {
    ShowProgressPage(mode);
    PostToWorker(kCmdInstall, 0);
    return;
  }
  if (relocationKind_ != 0) {
    ShowProgressPage(kFreshInstall);
    PostToWorker(kCmdInstall, 0);
    return;
  }
  installButton_.SetImages(0, 2, 1, 3);
  SetMainButton(Text(IDS_INSTALL_NOW), true, true);
  ::ShowWindow(Item(IDC_CUSTOM_LINK), SW_SHOW);
  ::ShowWindow(Item(IDC_EXPAND_ARROW), SW_SHOW);
  Invalidate();
  if (silent()) {
    ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_INSTALL_BUTTON, BN_CLICKED), 0);
  }
}

void CMainDlg::OnWaitForUi(HANDLE event) {
  if (!silent() && IsScanInProgress()) ScanNotice(hwnd_);
  if (event) ::SetEvent(event);
}

void CMainDlg::OnInstallDone() {
  if (silent() || ::SendMessageW(Item(IDC_OPEN_AFTER_INSTALL), BM_GETCHECK, 0, 0) == BST_CHECKED) {
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return;
  }
  ShowPanelControls(false);
  closeButton_.SetImageList(skin_->CloseButtonImages());
  ::EnableWindow(Item(IDC_CLOSE_BUTTON), TRUE);
  SetMainButton(L"完成", true, true);
  if (progressBar_.hwnd()) ::ShowWindow(progressBar_.hwnd(), SW_HIDE);
  ::ShowWindow(Item(IDC_PROGRESS_TEXT), SW_HIDE);
  Invalidate();
}
