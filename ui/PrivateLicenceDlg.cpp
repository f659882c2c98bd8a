#include "ui/PrivateLicenceDlg.h"

#include "install/InstallCallback.h"
#include "res/resource.h"
#include "ui/BufferedPaint.h"
#include "ui/DisplayScale.h"
#include "ui/LicenceText.h"

namespace {
constexpr COLORREF kLinkBlue = RGB(1, 127, 253);
}

CPrivateLicenceDlg::CPrivateLicenceDlg() : background_(IDB_AGREEMENT_BACKGROUND, 1) {
  initialWidth_ = Scaled(570);
  initialHeight_ = Scaled(444);
}

INT_PTR CPrivateLicenceDlg::Show(SkinResources& skin, InstallWorker& worker, HWND owner) {
  initialWidth_ = Scaled(570);
  initialHeight_ = Scaled(444);
  worker_ = &worker;
  background_.SetModule(skin.module());
  return DoModal(skin, IDD_AGREEMENT, owner);
}

BOOL CPrivateLicenceDlg::PreTranslateMessage(MSG* msg) {
  return hwnd_ && ::IsDialogMessageW(hwnd_, msg);
}

void CPrivateLicenceDlg::OnInitDialog() {
  CentreWindow();
  if (CMessageLoop* loop = WindowFramework::MessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }
  if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
  SetUpControls();
  softwareLicence_ = LoadLicenceText(module(), L"IDR_SOFTWARE_LICENCE");
  privacyPolicy_ = LoadLicenceText(module(), L"IDR_PRIVATE_LICENCE");
  LayOutControls();
}

void CPrivateLicenceDlg::SetUpControls() {
  SkinResources& skin = *skin_;
  HFONT font0 = skin.font(0);
  agreeButton_.Attach(Item(IDOK));
  agreeButton_.SetExtendedStyle(CBitmapButtonEx::kHover);
  ::SendMessageW(Item(IDOK), WM_SETFONT, reinterpret_cast<WPARAM>(font0), FALSE);
  agreeButton_.SetTextColor(RGB(255, 255, 255));
  agreeButton_.SetHandCursor(true);
  agreeButton_.SetImageList(skin.AgreeButtonImages());
  agreeButton_.SetImages(0, 2, 1, 3);

  declineButton_.Attach(Item(IDCANCEL));
  declineButton_.SetExtendedStyle(CBitmapButtonEx::kHover | CBitmapButtonEx::kSharedImages);
  ::SendMessageW(Item(IDCANCEL), WM_SETFONT, reinterpret_cast<WPARAM>(font0), FALSE);
  declineButton_.SetTextColor(kLinkBlue);
  declineButton_.SetHandCursor(true);
  declineButton_.SetImageList(skin.DeclineButtonImages());
  declineButton_.SetImages(0, 2, 1, 3);

  closeButton_.Attach(Item(IDC_CLOSE_BUTTON));
  closeButton_.SetExtendedStyle(CBitmapButtonEx::kHover);
  closeButton_.SetImageList(skin.CloseButtonImages());
  closeButton_.SetImages(0, 2, 1, 3);
  closeButton_.SetHandCursor(true);

  LOGFONTW underlined = {};
  ::GetObjectW(skin.font(5), sizeof(underlined), &underlined);
  for (CSimpleLabel* link : {&licenceLink_, &privacyLink_}) {
    link->Attach(Item(link == &licenceLink_ ? IDC_LICENCE_LINK : IDC_PRIVACY_LINK));
    link->SetFont(underlined);
    link->SetTextColor(kLinkBlue);
    link->SetNotify(true);
  }

  textBox_ = Item(IDC_AGREEMENT_TEXT);
  ::SendMessageW(textBox_, WM_SETFONT, reinterpret_cast<WPARAM>(font0), FALSE);
  ::ShowWindow(textBox_, SW_HIDE);
}

void CPrivateLicenceDlg::LayOutControls() {
  auto place = [this](int id, int x, int y, int width, int height) {
    ::SetWindowPos(Item(id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(IDOK, Scaled(187), Scaled(444) - Scaled(64), Scaled(90), Scaled(32));
  place(IDCANCEL, Scaled(293), Scaled(444) - Scaled(64), Scaled(90), Scaled(32));
  place(IDC_LICENCE_LINK, Scaled(58), Scaled(2) + Scaled(230), Scaled(300), Scaled(15));
  ::ShowWindow(Item(IDC_LICENCE_LINK), SW_SHOW);
  place(IDC_PRIVACY_LINK, Scaled(58), Scaled(26) + Scaled(230), Scaled(300), Scaled(15));
  ::ShowWindow(Item(IDC_PRIVACY_LINK), SW_SHOW);
  place(IDC_CLOSE_BUTTON, Scaled(570) - Scaled(24) - Scaled(26), Scaled(12), Scaled(24),
        Scaled(24));
  place(IDC_AGREEMENT_TEXT, Scaled(30), Scaled(53) + Scaled(230), Scaled(570) - Scaled(50),
        Scaled(83));
}

void CPrivateLicenceDlg::ShowText(const std::wstring& text) {
  ::SetWindowTextW(textBox_, text.c_str());
  if (!::IsWindowVisible(textBox_)) ::ShowWindow(textBox_, SW_SHOW);
  ::SendMessageW(textBox_, EM_SETSEL, static_cast<WPARAM>(-1), 0);
}

void CPrivateLicenceDlg::OnClose() {
  worker_->Stop(0);
  // Ends the modal loop as a decline; the quit code 0 is the system close's.
  ::EndDialog(hwnd_, IDCANCEL);
  ::PostQuitMessage(0);
}

void CPrivateLicenceDlg::PaintBackground(HDC dc) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  background_.Draw(dc, client, 0, Scaled(10) + Scaled(230), Scaled(10), Scaled(20), Scaled(20));
}

BOOL CPrivateLicenceDlg::ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                              LRESULT& result) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          ::EndDialog(hwnd_, IDOK);
          return TRUE;
        case IDCANCEL:
          ::EndDialog(hwnd_, IDCANCEL);
          ::PostQuitMessage(2);
          return TRUE;
        case IDC_CLOSE_BUTTON:
          ::EndDialog(hwnd_, IDCANCEL);
          ::PostQuitMessage(1010);
          return TRUE;
        case IDC_LICENCE_LINK:
          ShowText(softwareLicence_);
          return TRUE;
        case IDC_PRIVACY_LINK:
          ShowText(privacyPolicy_);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_PAINT:
      PaintWindowBuffered(hwnd_, [this](HDC memory) { PaintBackground(memory); });
      return TRUE;
    case WM_PRINTCLIENT:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_ERASEBKGND:
      result = 1;
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control == Item(IDC_LICENCE_LINK) || control == Item(IDC_PRIVACY_LINK)) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      }
      result = reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
      return TRUE;
    }
    case WM_CTLCOLORBTN:
      result = reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
      return TRUE;
    case WM_NCHITTEST:
      result = HTCAPTION;
      return TRUE;
    case WM_MOVE: {
      if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
      POINT origin = {0, 0};
      ::ClientToScreen(hwnd_, &origin);
      shadow_.FollowMove(hwnd_, origin.x, origin.y);
      return TRUE;
    }
    case WM_SIZE:
      if (!shadow_.hwnd()) shadow_.Create(hwnd_, module());
      shadow_.FollowSize(hwnd_, LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_SHOWWINDOW:
      shadow_.FollowShow(wParam != 0);
      return FALSE;
    case WM_DESTROY:
      shadow_.Destroy();
      if (CMessageLoop* loop = WindowFramework::MessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
      }
      return FALSE;
    default:
      return FALSE;
  }
}
