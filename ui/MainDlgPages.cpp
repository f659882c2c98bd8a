// The main window's pages: the main button, busy and progress pages, the
// custom-install panel and its space line.
#include <shlwapi.h>
#include <stdio.h>

#include "install/ExitCodes.h"
#include "install/ProductFolder.h"
#include "install/ProductNames.h"
#include "install/StopProduct.h"
#include "res/resource.h"
#include "ui/DisplayScale.h"
#include "ui/MainDlg.h"
#include "util/ElevationFlags.h"
#include "util/FolderOps.h"
#include "util/SystemSeam.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(151, 161, 175);
constexpr COLORREF kErrorRed = RGB(200, 69, 69);
constexpr COLORREF kSpaceGrey = RGB(154, 154, 154);
constexpr int kPanelControls[] = {IDC_LOCATION_LABEL, IDC_PATH_EDIT, IDC_BROWSE_BUTTON,
                                  IDC_SPACE_LINE, IDC_OPEN_AFTER_INSTALL, IDC_AUTO_START};

std::wstring WindowText(HWND window) {
  wchar_t text[MAX_PATH] = {};
  ::GetWindowTextW(window, text, MAX_PATH);
  return text;
}

bool Ticked(HWND box) { return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

void CMainDlg::SetStatusLine(const std::wstring& text, COLORREF colour) {
  statusLine_.SetText(text.c_str());
  statusLine_.SetTextColor(colour);
  Place(IDC_STATUS_LINE, Scaled(30), Scaled(190) + Scaled(12), Scaled(510), Scaled(16));
  ::ShowWindow(Item(IDC_STATUS_LINE), SW_SHOW);
  Invalidate();
}

void CMainDlg::SetMainButton(const std::wstring& text, bool enabled, bool visible) {
  HWND button = Item(IDC_INSTALL_BUTTON);
  ::SetWindowTextW(button, text.c_str());
  installButton_.SetTextColor(kWhite);
  ::EnableWindow(button, enabled);
  ::ShowWindow(button, visible ? SW_SHOW : SW_HIDE);
}

void CMainDlg::ApplyInstallModeTexts() {
  int mode = context_->installMode;
  if (mode == kFreshInstall) {
    SetMainButton(Text(IDS_PREPARING), false, true);
    cleanupOnClose_ = TRUE;
    PostToWorker(kCmdExtract, 0);
    return;
  }
  if (mode != kUpgrade && mode != kOverwrite) return;
  bool running = IsProductRunning() != FALSE;
  if (running) {
    SetStatusLine(Text(IDS_PRODUCT_RUNNING), RGB(255, 77, 92));
    SetMainButton(Text(IDS_CONTINUE), true, true);
  } else if (mode == kUpgrade) {
    SetStatusLine(Text(IDS_INSTALLED_BEFORE), kGrey);
    SetMainButton(Text(IDS_UPGRADE_NOW), true, true);
  } else {
    SetStatusLine(Text(IDS_SAME_VERSION), RGB(255, 77, 92));
    SetMainButton(Text(IDS_OVERWRITE), true, true);
  }
  for (int id : {IDC_CUSTOM_LINK, IDC_EXPAND_ARROW, IDC_COLLAPSE_ARROW}) {
    ::ShowWindow(Item(id), SW_HIDE);
  }
}

void CMainDlg::OnMainButton() {
  SetupContext& context = *context_;
  if (GreenMode) {
    // Nobody is there to answer a silent run's question.
    if (silent()) {
      EndSilentRun(kExitNoAdministrator);
      return;
    }
    int answer = Seam().MessageBoxW(hwnd_, L"您当前不是管理员权限，是否需要安装一个绿色版本？",
                                    L"Kelvo0AI云盘同步版", MB_YESNO | MB_ICONINFORMATION);
    if (answer != IDYES) {
      ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      return;
    }
  }
  std::wstring text = WindowText(Item(IDC_INSTALL_BUTTON));
  if (lstrcmpiW(text.c_str(), Text(IDS_EXIT_SETUP).c_str()) == 0) {
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return;
  }
  if (lstrcmpiW(text.c_str(), L"完成") == 0) {
    context.launchAfterInstall = Ticked(Item(IDC_OPEN_AFTER_INSTALL));
    if (Ticked(Item(IDC_AUTO_START))) context.WriteAutoStartEntry();
    context.PostInstallLaunch();
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return;
  }
  ResizeClient(Scaled(570), Scaled(380));

  int mode = context.installMode;
  if (mode == kUpgrade || mode == kOverwrite) {
    SetMainButton(Text(IDS_GETTING_READY), true, true);
    context.autoStart = Ticked(Item(IDC_AUTO_START));
    EnterBusyState(true);
    PostToWorker(kCmdStopProduct, 0);
    return;
  }
  if (mode != kFreshInstall) return;

  wchar_t typed[MAX_PATH] = {};
  ::GetWindowTextW(Item(IDC_PATH_EDIT), typed, MAX_PATH);
  ::PathRemoveBackslashW(typed);
  folderCheck_.folder = NormalizeProductFolder(typed);
  if (!CheckFolderWritable(folderCheck_)) {
    if (silent()) {
      EndSilentRun(kExitFolderRefused);
      return;
    }
    spaceLine_.SetText(folderCheck_.message.c_str());
    spaceLine_.SetTextColor(kErrorRed);
    ::EnableWindow(Item(IDC_INSTALL_BUTTON), FALSE);
    Invalidate();
    return;
  }
  cleanupOnClose_ = FALSE;
  const std::wstring& folder = folderCheck_.folder;
  context.installDir = folder;
  CreateFolderTree(folder.c_str());
  wchar_t exe[MAX_PATH] = {};
  _snwprintf(exe, MAX_PATH - 1, L"%s\\%s", folder.c_str(), product::kMainExe);
  context.productExe = exe;
  context.launchAfterInstall = Ticked(Item(IDC_OPEN_AFTER_INSTALL));
  context.autoStart = Ticked(Item(IDC_AUTO_START));

  if (lstrcmpiW(folder.c_str(), context.defaultInstallDir.c_str()) == 0) {
    relocationKind_ = 0;
    EnterBusyState(false);
    ShowProgressPage(kFreshInstall);
    PostToWorker(kCmdInstall, 1);
    return;
  }
  relocationKind_ = folder.find(context.defaultInstallDir) != std::wstring::npos ? 2 : 1;
  EnterBusyState(true);
  PostToWorker(kCmdStopProduct, static_cast<WPARAM>(relocationKind_));
}

void CMainDlg::ShowPanelControls(bool show) {
  for (int id : kPanelControls) ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE);
}

void CMainDlg::EnterBusyState(bool showButton) {
  panelExpanded_ = FALSE;
  ResizeClient(Scaled(570), Scaled(380));
  ShowPanelControls(false);
  ::EnableWindow(Item(IDC_INSTALL_BUTTON), FALSE);
  for (int id : {IDC_CUSTOM_LINK, IDC_EXPAND_ARROW, IDC_COLLAPSE_ARROW, IDC_STATUS_LINE}) {
    ::ShowWindow(Item(id), SW_HIDE);
  }
  ::EnableWindow(Item(IDC_CLOSE_BUTTON), FALSE);
  ::ShowWindow(Item(IDC_INSTALL_BUTTON), showButton ? SW_SHOW : SW_HIDE);
  Invalidate();
}

void CMainDlg::ShowProgressPage(int mode) {
  UINT text = mode == kUpgrade ? IDS_UPGRADING : mode == kOverwrite ? IDS_OVERWRITING : IDS_INSTALLING;
  progressText_.SetText(Text(text).c_str());
  progressText_.SetTextColor(kGrey);
  ::SetWindowLongW(Item(IDC_PROGRESS_TEXT), GWL_EXSTYLE, 0);
  Place(IDC_PROGRESS_TEXT, Scaled(56), Scaled(82) + Scaled(190), Scaled(458), Scaled(32),
        SWP_FRAMECHANGED);
  ::ShowWindow(Item(IDC_PROGRESS_TEXT), SW_SHOW);
  ::ShowWindow(Item(IDC_INSTALL_BUTTON), SW_HIDE);
  RECT bar = {Scaled(56), Scaled(70) + Scaled(190), Scaled(56) + Scaled(458),
              Scaled(6) + Scaled(190) + Scaled(70)};
  if (!progressBar_.hwnd()) progressBar_.Create(hwnd_, bar, *skin_);
  ::ShowWindow(progressBar_.hwnd(), SW_SHOW);
  Invalidate();
}

void CMainDlg::Expand() {
  if (!expandAllowed_) return;
  ResizeClient(Scaled(570), Scaled(444));
  ::EnableWindow(Item(IDC_INSTALL_BUTTON), TRUE);
  ::ShowWindow(Item(IDC_EXPAND_ARROW), SW_HIDE);
  ::ShowWindow(Item(IDC_COLLAPSE_ARROW), SW_SHOW);
  ShowPanelControls(true);
  panelExpanded_ = TRUE;
  UpdateSpaceLine();
  Invalidate();
}

void CMainDlg::Collapse() {
  ResizeClient(Scaled(570), Scaled(380));
  ::ShowWindow(Item(IDC_COLLAPSE_ARROW), SW_HIDE);
  for (int id : {IDC_EXPAND_ARROW, IDC_INSTALL_BUTTON, IDC_CUSTOM_LINK, IDC_CLOSE_BUTTON}) {
    ::ShowWindow(Item(id), SW_SHOW);
  }
  ShowPanelControls(false);
  panelExpanded_ = FALSE;
  Invalidate();
}

void CMainDlg::PlaceSpaceLine() {
  Place(IDC_SPACE_LINE, Scaled(131), Scaled(170) + Scaled(190), Scaled(300), Scaled(16),
        SWP_FRAMECHANGED);
}

void CMainDlg::UpdateSpaceLine() {
  wchar_t typed[MAX_PATH] = {};
  ::GetWindowTextW(Item(IDC_PATH_EDIT), typed, MAX_PATH);
  CheckFreeSpace(folderCheck_, typed);
  if (folderCheck_.status != FolderCheck::kPassed) {
    spaceLine_.SetText(folderCheck_.message.c_str());
    spaceLine_.SetTextColor(kErrorRed);
    ::EnableWindow(Item(IDC_INSTALL_BUTTON), FALSE);
  } else {
    wchar_t line[1040] = {};
    _snwprintf(line, 1039, Text(IDS_SPACE_LINE).c_str(),
               Text(IDS_REQUIRED_SPACE_MB).c_str(), folderCheck_.message.c_str());
    spaceLine_.SetText(line);
    spaceLine_.SetTextColor(kSpaceGrey);
    ::EnableWindow(Item(IDC_INSTALL_BUTTON), TRUE);
    if (::IsWindowVisible(Item(IDC_STATUS_LINE))) {
      ::ShowWindow(Item(IDC_STATUS_LINE), SW_HIDE);
      SetMainButton(Text(IDS_INSTALL_NOW), true,
                    ::IsWindowVisible(Item(IDC_INSTALL_BUTTON)) != FALSE);
    }
  }
  PlaceSpaceLine();
  RECT band = {Scaled(30), Scaled(120) + Scaled(190), Scaled(570) - Scaled(30),
               Scaled(200) + Scaled(190)};
  ::RedrawWindow(hwnd_, &band, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}
