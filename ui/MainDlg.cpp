#include "ui/MainDlg.h"

#include <shlwapi.h>

#include "install/InstallCallback.h"
#include "res/resource.h"
#include "ui/BrowseForFolder.h"
#include "ui/BufferedPaint.h"
#include "ui/DisplayScale.h"
#include "util/SystemSeam.h"

namespace {
constexpr COLORREF kPanelColour = RGB(245, 248, 254);
constexpr COLORREF kEditColour = RGB(231, 235, 242);
}  // namespace

CMainDlg::CMainDlg() : background_(IDB_MAIN_BACKGROUND, 1) {}

HWND CMainDlg::Open(SkinResources& skin, InstallWorker& worker, SetupContext& context) {
  worker_ = &worker;
  context_ = &context;
  background_.SetModule(skin.module());
  folderCheck_.resources = skin.module();
  return Create(skin, IDD_MAIN, nullptr);
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
  return hwnd_ && ::IsDialogMessageW(hwnd_, msg);
}

void CMainDlg::Place(int id, int x, int y, int width, int height, UINT extraFlags) {
  ::SetWindowPos(Item(id), nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | extraFlags);
}

BOOL CMainDlg::ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return TRUE;
    case WM_SIZE:
      if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
      shadow_.FollowSize(hwnd_, LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_ERASEBKGND:
      result = 1;
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id == IDC_PROGRESS_TEXT || id == IDC_STATUS_LINE || id == IDC_OPEN_AFTER_INSTALL ||
          id == IDC_AUTO_START) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      }
      if (id == IDC_OPEN_AFTER_INSTALL || id == IDC_AUTO_START) {
        result = reinterpret_cast<LRESULT>(optionBrushes_[id == IDC_AUTO_START ? 1 : 0]);
      } else {
        result = reinterpret_cast<LRESULT>(panelBrush_);
      }
      return TRUE;
    }
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == Item(IDC_PATH_EDIT)) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(editBrush_);
      } else {
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      }
      return TRUE;
    case WM_CTLCOLORBTN: {
      ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id == IDC_OPEN_AFTER_INSTALL || id == IDC_AUTO_START) {
        result = reinterpret_cast<LRESULT>(optionBrushes_[id == IDC_AUTO_START ? 1 : 0]);
      } else {
        result = reinterpret_cast<LRESULT>(panelBrush_);
      }
      return TRUE;
    }
    case WM_NCHITTEST:
      result = HTCAPTION;
      return TRUE;
    case WM_TIMER:
      result = 0;
      return TRUE;
    case WM_PAINT:
      PaintWindowBuffered(hwnd_, [this](HDC memory) { PaintBackground(memory); });
      return TRUE;
    case WM_PRINTCLIENT:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_MOVE: {
      if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
      POINT origin = {0, 0};
      ::ClientToScreen(hwnd_, &origin);
      shadow_.FollowMove(hwnd_, origin.x, origin.y);
      return TRUE;
    }
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_COPYDATA:
      result = OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;
    case WM_SHOWWINDOW:
      if (wParam) LoadSkinImages();
      shadow_.FollowShow(wParam != 0);
      return FALSE;
    case WM_COMMAND: {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      switch (id) {
        case IDC_INSTALL_BUTTON:
          if (code == BN_CLICKED) OnMainButton();
          return TRUE;
        case IDC_EXPAND_ARROW:
          Expand();
          return TRUE;
        case IDC_CUSTOM_LINK:
          if (panelExpanded_) Collapse();
          else Expand();
          return TRUE;
        case IDC_BROWSE_BUTTON:
          BrowseForFolder(hwnd_, Item(IDC_PATH_EDIT));
          return TRUE;
        case IDC_PATH_EDIT:
          if (code == EN_CHANGE && panelExpanded_) UpdateSpaceLine();
          return TRUE;
        case IDC_CLOSE_BUTTON:
          ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
          return TRUE;
        case IDC_COLLAPSE_ARROW:
          Collapse();
          return TRUE;
        default:
          return FALSE;
      }
    }
    case kMsgExtractFailed:
      OnExtractFailed();
      return TRUE;
    case kMsgExtractDone:
      OnExtractDone();
      return TRUE;
    case kMsgProgress:
      progressBar_.SetPos(static_cast<int>(wParam));
      if (progressBar_.hwnd()) ::UpdateWindow(progressBar_.hwnd());
      return TRUE;
    case kMsgWaitForUi:
      OnWaitForUi(reinterpret_cast<HANDLE>(lParam));
      return TRUE;
    case kMsgShellExtensionsRegistered:
    case kMsgRecordsWritten:
      result = 0;
      return TRUE;
    case kMsgInstallDone:
      OnInstallDone();
      return TRUE;
    case kMsgProductStopped:
      PostToWorker(kCmdExtract, 0);
      return TRUE;
    case kMsgAnotherInstance:
      OnAnotherInstance(wParam);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CMainDlg::OnInitDialog() {
  CentreWindow();
  if (CMessageLoop* loop = WindowFramework::MessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  WindowFramework::TrackWindow(hwnd_);
  if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
  SetUpReadyControls();
  LayOutReadyControls();
  SetUpCustomPanel();
  ApplyInstallModeTexts();
  if (silent() && context_->installMode != kFreshInstall) {
    ::PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_INSTALL_BUTTON, BN_CLICKED), 0);
  }
  return TRUE;
}

void CMainDlg::SetUpReadyControls() {
  SkinResources& skin = *skin_;
  LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  ::SetWindowLongW(hwnd_, GWL_STYLE, style | WS_MINIMIZEBOX);
  editBrush_ = ::CreateSolidBrush(kEditColour);
  panelBrush_ = ::CreateSolidBrush(kPanelColour);

  installButton_.Attach(Item(IDC_INSTALL_BUTTON));
  installButton_.SetExtendedStyle(CBitmapButtonEx::kHover);
  ::SendMessageW(Item(IDC_INSTALL_BUTTON), WM_SETFONT, reinterpret_cast<WPARAM>(skin.font(3)), FALSE);
  installButton_.SetTextColor(RGB(255, 255, 255));
  installButton_.SetHandCursor(true);
  installButton_.SetImages(0, 2, 1, 3);

  expandArrow_.Attach(Item(IDC_EXPAND_ARROW));
  expandArrow_.SetExtendedStyle(CBitmapButtonEx::kHover | CBitmapButtonEx::kSharedImages);
  expandArrow_.SetImages(0, 2, 1, 3);
  expandArrow_.SetToolTipText(L"展开");
  expandArrow_.SetBackgroundBrush(panelBrush_);
  expandArrow_.SetHandCursor(true);
  ::ShowWindow(Item(IDC_EXPAND_ARROW), SW_HIDE);

  customLink_.Attach(Item(IDC_CUSTOM_LINK));
  LOGFONTW logFont = {};
  ::GetObjectW(skin.font(0), sizeof(logFont), &logFont);
  logFont.lfUnderline = FALSE;
  customLink_.SetFont(logFont);
  customLink_.SetText(L"自定义安装");
  customLink_.SetTextColor(RGB(99, 115, 135));
  customLink_.SetNotify(true);

  closeButton_.Attach(Item(IDC_CLOSE_BUTTON));
  closeButton_.SetExtendedStyle(CBitmapButtonEx::kHover);
  closeButton_.SetImages(0, 2, 1, 3);
  closeButton_.SetHandCursor(true);

  statusLine_.Attach(Item(IDC_STATUS_LINE));
  statusLine_.SetFont(skin.font(0));
  progressText_.Attach(Item(IDC_PROGRESS_TEXT));
  progressText_.SetFont(skin.font(0));
  progressText_.SetTextColor(RGB(151, 161, 175));
  ::ShowWindow(Item(IDC_PROGRESS_TEXT), SW_HIDE);
}

void CMainDlg::LayOutReadyControls() {
  Place(IDC_INSTALL_BUTTON, Scaled(205), Scaled(38) + Scaled(190), Scaled(160), Scaled(36));
  Place(IDC_CUSTOM_LINK, Scaled(238), Scaled(94) + Scaled(190), Scaled(70), Scaled(20));
  Place(IDC_EXPAND_ARROW, Scaled(312), Scaled(96) + Scaled(190), Scaled(16), Scaled(16));
  Place(IDC_CLOSE_BUTTON, Scaled(570) - Scaled(24) - Scaled(26), Scaled(12), Scaled(24),
        Scaled(24));
}

void CMainDlg::SetUpCustomPanel() {
  SkinResources& skin = *skin_;
  locationLabel_.Attach(Item(IDC_LOCATION_LABEL));
  locationLabel_.SetFont(skin.font(3));
  locationLabel_.SetTextColor(RGB(99, 115, 135));
  spaceLine_.Attach(Item(IDC_SPACE_LINE));
  spaceLine_.SetFont(skin.font(0));
  spaceLine_.SetTextColor(RGB(153, 153, 153));

  browseButton_.Attach(Item(IDC_BROWSE_BUTTON));
  browseButton_.SetExtendedStyle(CBitmapButtonEx::kHover | CBitmapButtonEx::kSharedImages);
  browseButton_.SetImages(0, 2, 1, 3);
  ::SendMessageW(Item(IDC_BROWSE_BUTTON), WM_SETFONT, reinterpret_cast<WPARAM>(skin.font(0)), FALSE);
  browseButton_.SetTextColor(RGB(99, 115, 135));
  browseButton_.SetHandCursor(true);

  collapseArrow_.Attach(Item(IDC_COLLAPSE_ARROW));
  collapseArrow_.SetExtendedStyle(CBitmapButtonEx::kHover | CBitmapButtonEx::kSharedImages);
  collapseArrow_.SetImages(0, 2, 1, 3);
  collapseArrow_.SetToolTipText(L"收起");
  collapseArrow_.SetBackgroundBrush(panelBrush_);
  collapseArrow_.SetHandCursor(true);

  for (int id : {IDC_PATH_EDIT, IDC_OPEN_AFTER_INSTALL, IDC_AUTO_START}) {
    ::SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(skin.font(0)), FALSE);
  }
  ::SendMessageW(Item(IDC_OPEN_AFTER_INSTALL), BM_SETCHECK, BST_CHECKED, 0);
  ::SendMessageW(Item(IDC_AUTO_START), BM_SETCHECK, BST_CHECKED, 0);

  Place(IDC_LOCATION_LABEL, Scaled(63), Scaled(141) + Scaled(190), Scaled(67), Scaled(20));
  Place(IDC_PATH_EDIT, Scaled(143), Scaled(142) + Scaled(190), Scaled(295) - Scaled(24),
        Scaled(18));
  Place(IDC_BROWSE_BUTTON, Scaled(295) + Scaled(145), Scaled(135) + Scaled(190), Scaled(72),
        Scaled(32));
  PlaceSpaceLine();
  Place(IDC_OPEN_AFTER_INSTALL, Scaled(131), Scaled(198) + Scaled(190), Scaled(190), Scaled(14));
  Place(IDC_AUTO_START, Scaled(331), Scaled(198) + Scaled(190), Scaled(190), Scaled(14));
  Place(IDC_COLLAPSE_ARROW, Scaled(312), Scaled(96) + Scaled(190), Scaled(16), Scaled(16));
  ::ShowWindow(Item(IDC_COLLAPSE_ARROW), SW_HIDE);
  // The panel's own colour until the skin's sample replaces it.
  optionBrushes_[0] = ::CreateSolidBrush(kPanelColour);
  optionBrushes_[1] = ::CreateSolidBrush(kPanelColour);

  const std::wstring& folder = context_->installDir;
  folderCheck_.folder = folder;
  ::SetWindowTextW(Item(IDC_PATH_EDIT), folder.c_str());
  ResizeClient(Scaled(570), Scaled(380));
  ShowPanelControls(false);
}

// The skin's images come in when the window is first shown: a silent run,
// whose window stays hidden, never decodes them.
void CMainDlg::LoadSkinImages() {
  if (skinLoaded_) return;
  skinLoaded_ = true;
  SkinResources& skin = *skin_;
  installButton_.SetImageList(skin.InstallButtonImages());
  expandArrow_.SetImageList(skin.ExpandArrowImages());
  closeButton_.SetImageList(skin.CloseButtonImages());
  browseButton_.SetImageList(skin.BrowseButtonImages());
  collapseArrow_.SetImageList(skin.CollapseArrowImages());

  // The option boxes sit on the panel: their brushes take the colour the
  // skin samples for them.
  COLORREF sampled = kPanelColour;
  if (HBITMAP sample = skin.OptionBackground()) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, sample);
    COLORREF pixel = ::GetPixel(dc, 1, 1);
    if (pixel != CLR_INVALID) sampled = pixel;
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
  }
  for (HBRUSH& brush : optionBrushes_) {
    if (brush) ::DeleteObject(brush);
    brush = ::CreateSolidBrush(sampled);
  }
}

void CMainDlg::PaintBackground(HDC dc) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  background_.Draw(dc, client, 0, Scaled(10) + Scaled(190), Scaled(10), Scaled(20), Scaled(20));
  if (::IsWindowVisible(Item(IDC_PATH_EDIT))) {
    HBITMAP frame = skin_->PathEditFrame();
    BITMAP info = {};
    if (frame) ::GetObjectW(frame, sizeof(info), &info);
    int x = Scaled(131), y = Scaled(325), width = Scaled(295), height = Scaled(32);
    BlendBitmap(dc, x, y, width, height, frame, 0, 0, info.bmWidth ? info.bmWidth : width,
                info.bmHeight ? info.bmHeight : height);
  }
}

void CMainDlg::PostToWorker(UINT command, WPARAM wParam) {
  InstallWorker& worker = *worker_;
  for (int attempt = 0; attempt < kPostAttempts; ++attempt) {
    if (worker.Post(command, wParam)) return;
  }
  OnWorkerUnreachable();
}

void CMainDlg::OnClose() {
  InstallWorker& worker = *worker_;
  ::ShowWindow(hwnd_, SW_HIDE);
  if (cleanupOnClose_) {
    // A pre-extraction may still be running: let the worker finish it and
    // quit; then what it pre-extracted goes again, and nothing else the
    // folder holds.
    if (worker.Stop(15000)) {
      context_->preExtracted.RemoveAll();
      worker.archiveLibrary().ReleaseArchiveLibrary();
    }
  }
  worker.Stop(0);
  ::DestroyWindow(hwnd_);
  ::PostQuitMessage(exitCode_);
}

void CMainDlg::EndSilentRun(int exitCode) {
  exitCode_ = exitCode;
  ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void CMainDlg::OnDestroy() {
  shadow_.Destroy();
  if (CMessageLoop* loop = WindowFramework::MessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  WindowFramework::ForgetWindow(hwnd_);
  worker_->SetObserver(nullptr);
  for (HBRUSH* brush : {&editBrush_, &editBrushDisabled_, &panelBrush_, &optionBrushes_[0],
                        &optionBrushes_[1]}) {
    if (*brush) ::DeleteObject(*brush);
    *brush = nullptr;
  }
}

LRESULT CMainDlg::OnCopyData(const COPYDATASTRUCT* data) {
  wchar_t other[MAX_PATH] = {};
  if (data && data->lpData && data->cbData >= sizeof(wchar_t)) {
    size_t units = data->cbData / sizeof(wchar_t);
    if (units > MAX_PATH - 1) units = MAX_PATH - 1;
    lstrcpynW(other, static_cast<const wchar_t*>(data->lpData), static_cast<int>(units) + 1);
  }
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  BOOL same = ::PathIsSameRootW(other, self) &&
              ::StrCmpW(::PathSkipRootW(other) ? ::PathSkipRootW(other) : L"",
                        ::PathSkipRootW(self) ? ::PathSkipRootW(self) : L"") == 0;
  ::PostMessageW(hwnd_, kMsgAnotherInstance, same ? 1 : 0, 0);
  return 1;
}

void CMainDlg::OnAnotherInstance(WPARAM sameFile) {
  if (!sameFile) {
    Seam().MessageBoxW(hwnd_, Text(IDS_ANOTHER_INSTALLER).c_str(), L"KelvoAI云盘同步版",
                       MB_OK | MB_ICONINFORMATION);
  }
  BringToFront();
}

void CMainDlg::BringToFront() {
  HWND foreground = ::GetForegroundWindow();
  DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  DWORD current = ::GetCurrentThreadId();
  bool attached = foregroundThread && foregroundThread != current &&
                  ::AttachThreadInput(current, foregroundThread, TRUE);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd_);
  if (attached) ::AttachThreadInput(current, foregroundThread, FALSE);
}
