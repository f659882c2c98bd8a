#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Drives the real installer's windows from a test: starts the process, finds
// its dialogs by the controls they carry, clicks controls with real mouse
// messages and reads texts, positions, visibility and drawn colours back.
class InstallerRun {
 public:
  // Starts program (default: the built installer) with the arguments. With
  // a standardOutputFile, the process's standard output goes into that file,
  // as when a deployment tool redirects it.
  explicit InstallerRun(const std::wstring& arguments,
                        const std::wstring& program = std::wstring(),
                        const std::wstring& standardOutputFile = std::wstring());
  // Starts the built installer with standardOutput (inheritable) as its
  // standard output.
  InstallerRun(const std::wstring& arguments, HANDLE standardOutput);
  // Ends the process if it still runs.
  ~InstallerRun();
  InstallerRun(const InstallerRun&) = delete;
  InstallerRun& operator=(const InstallerRun&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }
  // The process's top-level window that has a child with this id (and, when
  // visible is set, is visible); null after the time-out.
  HWND WaitForWindowWith(int controlId, DWORD timeoutMs = 30000, bool visible = true) const;
  // The exit code, or STILL_ACTIVE (259) after the time-out.
  DWORD WaitForExit(DWORD timeoutMs = 60000);

  // What a deployment tool meets on the way to the end of the run.
  struct Outcome {
    DWORD exitCode = STILL_ACTIVE;  // STILL_ACTIVE after the time-out
    bool agreementShown = false;
    std::vector<std::wstring> messageBoxTexts;
  };
  // Waits for the end of the run while playing the user's part: accepts the
  // agreement dialog (when acceptAgreement) and answers every message box
  // with answer, collecting their texts. Ends the process after the time-out.
  Outcome PlayToEnd(DWORD timeoutMs = 180000, bool acceptAgreement = true, int answer = IDOK);

 private:
  void Start(const std::wstring& arguments, const std::wstring& program, HANDLE standardOutput);
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Dialog ids shared with the installer.
enum : int {
  kAgreeButton = 1,
  kDeclineButton = 2,
  kInstallButton = 1000,
  kStatusLine = 1002,
  kLocationLabel = 1003,
  kPathEdit = 1004,
  kBrowseButton = 1005,
  kSpaceLine = 1006,
  kCloseButton = 1010,
  kAgreementText = 1013,
  kCollapseArrow = 1014,
  kLicenceLink = 1015,
  kOpenAfterInstall = 1016,
  kProgressText = 1017,
  kCustomLink = 1018,
  kAutoStart = 1019,
  kExpandArrow = 1020,
  kPrivacyLink = 1022,
};

// The top-level window of process processId that has a child with this id
// (and, when visible is set, is visible); null after the time-out, or once
// process (when given) has ended. Also finds windows of this very process.
HWND WaitForProcessWindowWith(DWORD processId, int controlId, DWORD timeoutMs = 30000,
                              bool visible = true, HANDLE process = nullptr);

HWND Control(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
// The control's rectangle in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
SIZE ClientSize(HWND window);
// A left click in the middle of the control (button down and up, posted).
void ClickControl(HWND dialog, int id);
// Waits until condition() holds; false after the time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// Waits until the control's text equals text; false after the time-out.
bool WaitForText(HWND dialog, int id, const std::wstring& text, DWORD timeoutMs = 60000);
bool WaitForVisible(HWND dialog, int id, bool visible, DWORD timeoutMs = 60000);
// How many pixels of the control as drawn on screen have exactly this colour.
int CountScreenPixels(HWND dialog, int id, COLORREF colour);
// The message box (dialog class) owned by owner; null after the time-out.
HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs = 30000);
// The message box's text (its static 0xFFFF control).
std::wstring MessageBoxText(HWND box);
// The installer's DPI setting for processes started afterwards
// (HKCU\Control Panel\Desktop LogPixels); restores the old value when done.
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(DWORD dpi);
  ~ScopedLogPixels();

 private:
  bool had_ = false;
  DWORD old_ = 0;
};

// A fresh install on screen: accepts the agreement and waits until the main
// window offers "立即安装", enabled. The main window, or null.
HWND AcceptAgreementAndWaitUntilReady(const InstallerRun& run);

// Opens the custom-install panel of the main window and types folder into
// its path edit, as a user would. False when the panel did not open.
bool TypeInstallFolder(HWND window, const std::wstring& folder);

// Runs the installer with the arguments to its end as a deployment tool
// would (a fresh install shows the agreement even when silent: accepted).
InstallerRun::Outcome RunInstallerToEnd(const std::wstring& arguments,
                                        const std::wstring& program = std::wstring(),
                                        DWORD timeoutMs = 180000);
