#include "support/InstallerSession.h"

const wchar_t kInstallerTitle[] = L"欢迎使用 KelvoAI云盘同步版";

namespace {

constexpr int kLicenceLink = 1015;
constexpr int kMessageBoxText = 0xFFFF;

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) search->found.push_back(window);
  return TRUE;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return text;
}

bool IsDialog(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return wcscmp(name, L"#32770") == 0;
}

}  // namespace

InstallerSession::~InstallerSession() {
  if (process_) {
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_, 259);
      ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(process_);
  }
}

bool InstallerSession::Start(const std::wstring& installer, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + installer + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(installer.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

std::vector<HWND> InstallerSession::Windows() const {
  WindowSearch search = {processId_, {}};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND InstallerSession::AgreementDialog() const {
  for (HWND window : Windows()) {
    if (WindowText(window) == kInstallerTitle && ::GetDlgItem(window, kLicenceLink)) return window;
  }
  return nullptr;
}

HWND InstallerSession::MainWindow() const {
  for (HWND window : Windows()) {
    if (WindowText(window) == kInstallerTitle && !::GetDlgItem(window, kLicenceLink) &&
        ::GetDlgItem(window, 1000)) {
      return window;
    }
  }
  return nullptr;
}

HWND InstallerSession::MessageBox() const {
  for (HWND window : Windows()) {
    if (IsDialog(window) && ::IsWindowVisible(window) && ::GetDlgItem(window, kMessageBoxText)) {
      return window;
    }
  }
  return nullptr;
}

std::wstring InstallerSession::MessageBoxText(HWND box) {
  wchar_t text[1024] = {};
  ::GetDlgItemTextW(box, kMessageBoxText, text, 1024);
  return text;
}

HWND InstallerSession::WaitForWindow(const std::function<HWND()>& finder, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = finder()) != nullptr; }, timeoutMs);
  return found;
}

bool InstallerSession::WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(20);
  }
}

bool InstallerSession::WaitForExit(DWORD timeoutMs, bool acceptAgreement, int messageBoxAnswer) {
  const DWORD start = ::GetTickCount();
  HWND answered = nullptr;
  while (::WaitForSingleObject(process_, 20) == WAIT_TIMEOUT) {
    if (::GetTickCount() - start >= timeoutMs) {
      ::TerminateProcess(process_, 259);
      ::WaitForSingleObject(process_, 5000);
      exitCode_ = STILL_ACTIVE;
      return false;
    }
    if (HWND agreement = AgreementDialog()) {
      if (!agreementShown_ && ::IsWindowVisible(agreement)) {
        agreementShown_ = true;
        if (acceptAgreement) ClickControl(agreement, IDOK);
      }
    }
    if (HWND box = MessageBox()) {
      if (box != answered) {
        answered = box;
        messageBoxTexts_.push_back(MessageBoxText(box));
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(messageBoxAnswer, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, messageBoxAnswer)));
      }
    }
  }
  ::GetExitCodeProcess(process_, &exitCode_);
  return true;
}

void ClickControl(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[1024] = {};
  ::GetDlgItemTextW(dialog, id, text, 1024);
  return text;
}

bool ControlVisible(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  return control && ::IsWindowVisible(control);
}

bool ControlEnabled(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  return control && ::IsWindowEnabled(control);
}

DWORD RunInstallerToEnd(const std::wstring& installer, const std::wstring& arguments,
                        DWORD timeoutMs) {
  InstallerSession session;
  if (!session.Start(installer, arguments)) return STILL_ACTIVE;
  session.WaitForExit(timeoutMs);
  return session.exitCode();
}
