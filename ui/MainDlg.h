#pragma once
#include <windows.h>

#include <string>

#include "install/InstallWorker.h"
#include "install/SetupContext.h"
#include "ui/BitmapButtonEx.h"
#include "ui/DlgBase.h"
#include "ui/FolderCheck.h"
#include "ui/KelvoProgressCtrl.h"
#include "ui/MessageLoop.h"
#include "ui/MyBitmap.h"
#include "ui/ShadowView.h"
#include "ui/SimpleLabel.h"
#include "ui/TransparentStatic.h"

// Sent by the window to itself when another installer instance announced
// itself: wParam 1 when it runs from the same file.
enum : UINT { kMsgAnotherInstance = 5139 };

// The installer's skinned main window (dialog 129): preparing, ready, custom
// panel, progress, finished and damaged-package pages, driven by the install
// worker's reports.
class CMainDlg : public CDlgBase<CMainDlg>, public CMessageFilter, public CIdleHandler {
 public:
  CMainDlg();

  // Creates the window (hidden) for the run the context describes, with the
  // skin it draws with and the worker it drives.
  HWND Open(SkinResources& skin, InstallWorker& worker, SetupContext& context);

  BOOL ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle() override { return FALSE; }

  // Bound on immediate retries of a failed post of 5122, 5123 or 5124.
  static constexpr int kPostAttempts = 100;

 private:
  // Initialisation.
  LRESULT OnInitDialog();
  void SetUpReadyControls();
  void LayOutReadyControls();
  void SetUpCustomPanel();
  void LoadSkinImages();
  void ApplyInstallModeTexts();

  // Pages.
  void OnMainButton();
  void EnterBusyState(bool showButton);
  void ShowProgressPage(int mode);
  void Expand();
  void Collapse();
  void ShowPanelControls(bool show);
  void SetStatusLine(const std::wstring& text, COLORREF colour);
  void SetMainButton(const std::wstring& text, bool enabled, bool visible);
  void UpdateSpaceLine();
  void PlaceSpaceLine();

  // Worker reports.
  void OnExtractFailed();
  void OnWorkerUnreachable();
  void OnExtractDone();
  void OnWaitForUi(HANDLE event);
  void OnInstallDone();
  void OnAnotherInstance(WPARAM sameFile);
  LRESULT OnCopyData(const COPYDATASTRUCT* data);
  void BringToFront();

  void OnClose();
  // Closes the window so that the process ends with exitCode.
  void EndSilentRun(int exitCode);
  void OnDestroy();
  void PaintBackground(HDC dc);
  // Posts a command to the worker, retrying a failed post up to the bound;
  // when the worker cannot be reached the page turns into the damaged state.
  void PostToWorker(UINT command, WPARAM wParam);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  void Place(int id, int x, int y, int width, int height, UINT extraFlags = 0);

  InstallWorker* worker_ = nullptr;
  SetupContext* context_ = nullptr;
  bool silent() const { return context_->options.silent != FALSE; }
  int relocationKind_ = 0;
  BOOL cleanupOnClose_ = FALSE;
  int exitCode_ = 0;
  BOOL panelExpanded_ = FALSE;
  FolderCheck folderCheck_;
  CMyBitmap background_;
  CBitmapButtonEx installButton_;
  CSimpleLabel customLink_;
  BOOL expandAllowed_ = TRUE;
  CBitmapButtonEx closeButton_;
  CTransparentStatic statusLine_;
  CTransparentStatic progressText_;
  CKelvoProgressCtrl progressBar_;
  CShadowView shadow_;
  CTransparentStatic locationLabel_;
  CTransparentStatic spaceLine_;
  HBRUSH editBrush_ = nullptr;
  HBRUSH editBrushDisabled_ = nullptr;
  CBitmapButtonEx browseButton_;
  HBRUSH optionBrushes_[2] = {};
  bool skinLoaded_ = false;
  HBRUSH panelBrush_ = nullptr;
  CBitmapButtonEx expandArrow_;
  CBitmapButtonEx collapseArrow_;
};
