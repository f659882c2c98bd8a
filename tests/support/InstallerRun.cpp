#include "support/InstallerRun.h"

#include <atomic>
#include <thread>

#include "support/InstallerWindows.h"

std::wstring BuiltProgram(const std::wstring& name) {
  return std::wstring(KELVO_BINARY_DIR_WIN) + L"\\" + name;
}

InstallerRun::InstallerRun(const std::wstring& arguments, const std::wstring& program,
                           HANDLE standardOutput) {
  std::wstring path = program.empty() ? BuiltProgram(L"KelvoSetup.exe") : program;
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  if (standardOutput) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = standardOutput;
  }
  PROCESS_INFORMATION info = {};
  if (::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, standardOutput != nullptr,
                       0, nullptr, nullptr, &startup, &info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
  }
}

InstallerRun::~InstallerRun() {
  if (!process_) return;
  if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 10000);
  }
  ::CloseHandle(process_);
}

HWND InstallerRun::WaitForWindowWith(int controlId, DWORD timeoutMs, bool visible) const {
  return WaitForProcessWindowWith(processId_, controlId, timeoutMs, visible, process_);
}

DWORD InstallerRun::WaitForExit(DWORD timeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (process_ && ::WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process_, &code);
  }
  return code;
}

InstallerRun::Outcome InstallerRun::PlayToEnd(int answer, DWORD timeoutMs) {
  Outcome outcome;
  if (!process_) return outcome;
  const DWORD start = ::GetTickCount();
  HWND agreementSeen = nullptr, boxSeen = nullptr;
  while (::WaitForSingleObject(process_, 20) == WAIT_TIMEOUT) {
    std::vector<HWND> windows = VisibleWindowsOf(processId_);
    if (::GetTickCount() - start >= timeoutMs) {
      ::TerminateProcess(process_, STILL_ACTIVE);
      ::WaitForSingleObject(process_, 5000);
      return outcome;
    }
    for (HWND window : windows) {
      outcome.mainWindowShown |= ::GetDlgItem(window, IDC_INSTALL_BUTTON) != nullptr;
      if (::GetDlgItem(window, IDC_LICENCE_LINK) && window != agreementSeen) {
        agreementSeen = window;
        outcome.agreementShown = true;
        ClickControl(window, IDOK);
      } else if (IsMessageBox(window) && window != boxSeen) {
        boxSeen = window;
        outcome.messageBoxTexts.push_back(MessageBoxText(window));
        AnswerMessageBox(window, answer);
      }
    }
  }
  ::GetExitCodeProcess(process_, &outcome.exitCode);
  return outcome;
}

InstallerRun::Outcome RunInstallerToEnd(const std::wstring& arguments, const std::wstring& program,
                                        const std::function<void()>& watch) {
  std::atomic<bool> ended{false};
  std::thread watcher([&] {
    for (bool last = false; watch && !last; ::Sleep(5)) {
      last = ended;
      watch();
    }
  });
  InstallerRun::Outcome outcome = InstallerRun(arguments, program).PlayToEnd();
  ended = true;
  watcher.join();
  return outcome;
}
