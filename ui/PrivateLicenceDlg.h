#pragma once
#include <windows.h>

#include <string>

#include "install/InstallWorker.h"
#include "ui/BitmapButtonEx.h"
#include "ui/DlgBase.h"
#include "ui/MessageLoop.h"
#include "ui/MyBitmap.h"
#include "ui/ShadowView.h"
#include "ui/SimpleLabel.h"

// The agreement dialog (template 152) shown before a fresh install: 1 when
// the user agrees; 2 otherwise, with the quit code the way out asks for.
class CPrivateLicenceDlg : public CDlgBase<CPrivateLicenceDlg>,
                           public CMessageFilter,
                           public CIdleHandler {
 public:
  CPrivateLicenceDlg();

  INT_PTR Show(SkinResources& skin, InstallWorker& worker, HWND owner);
  BOOL ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle() override { return FALSE; }

 private:
  void OnInitDialog();
  void SetUpControls();
  void LayOutControls();
  void ShowText(const std::wstring& text);
  void OnClose();
  void PaintBackground(HDC dc);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

  CMyBitmap background_;
  CShadowView shadow_;
  CSimpleLabel licenceLink_;
  CSimpleLabel privacyLink_;
  CBitmapButtonEx closeButton_;
  CBitmapButtonEx agreeButton_;
  CBitmapButtonEx declineButton_;
  HWND textBox_ = nullptr;
  std::wstring softwareLicence_;
  std::wstring privacyPolicy_;
  InstallWorker* worker_ = nullptr;
};
