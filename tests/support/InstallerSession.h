#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The real installer executable started as its own process, with the test
// playing the user: it finds the installer's windows, reads them and clicks.
class InstallerSession {
 public:
  InstallerSession() = default;
  ~InstallerSession();  // ends the process if it still runs
  InstallerSession(const InstallerSession&) = delete;
  InstallerSession& operator=(const InstallerSession&) = delete;

  bool Start(const std::wstring& installer, const std::wstring& arguments);
  DWORD processId() const { return processId_; }

  // Top-level windows of the installer's process.
  std::vector<HWND> Windows() const;
  // The agreement dialog / the main window: both carry the installer's title;
  // the agreement dialog is the one with the licence link.
  HWND AgreementDialog() const;
  HWND MainWindow() const;
  // A message box of the installer (a dialog with the static text 0xFFFF).
  HWND MessageBox() const;
  static std::wstring MessageBoxText(HWND box);

  // Waits until finder() gives a window; nullptr after timeoutMs.
  HWND WaitForWindow(const std::function<HWND()>& finder, DWORD timeoutMs = 30000) const;
  // Waits until condition() holds; false after timeoutMs.
  static bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);

  // Waits for the process to end while answering what comes up: the
  // agreement dialog (accepted when acceptAgreement) and message boxes (with
  // messageBoxAnswer, whose texts are collected). False on timeout, after
  // which the process is ended.
  bool WaitForExit(DWORD timeoutMs, bool acceptAgreement = true, int messageBoxAnswer = IDOK);
  DWORD exitCode() const { return exitCode_; }
  const std::vector<std::wstring>& messageBoxTexts() const { return messageBoxTexts_; }
  bool agreementShown() const { return agreementShown_; }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  DWORD exitCode_ = STILL_ACTIVE;
  bool agreementShown_ = false;
  std::vector<std::wstring> messageBoxTexts_;
};

// A click as the control's parent sees it: WM_COMMAND with BN_CLICKED.
void ClickControl(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);

// The installer's single-instance name: its window title and mutex name.
extern const wchar_t kInstallerTitle[];

// Runs the installer to its end as a deployment tool would: silent fresh
// installs still show the agreement, which is accepted. Returns the exit
// code, or STILL_ACTIVE (259) on timeout.
DWORD RunInstallerToEnd(const std::wstring& installer, const std::wstring& arguments,
                        DWORD timeoutMs = 180000);
