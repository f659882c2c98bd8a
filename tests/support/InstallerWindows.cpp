#include "support/InstallerWindows.h"

#include <stdio.h>

#include <vector>

#include "support/ProcessRunner.h"

InstallerRun::InstallerRun(const std::wstring& arguments, const std::wstring& program,
                           const std::wstring& standardOutputFile) {
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!standardOutputFile.empty()) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    output = ::CreateFileW(standardOutputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  Start(arguments, program, output);
  if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
}

InstallerRun::InstallerRun(const std::wstring& arguments, HANDLE standardOutput) {
  Start(arguments, std::wstring(), standardOutput);
}

void InstallerRun::Start(const std::wstring& arguments, const std::wstring& program,
                         HANDLE standardOutput) {
  std::wstring path = program.empty() ? BuiltProgram(L"KelvoSetup.exe") : program;
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  bool redirected = standardOutput && standardOutput != INVALID_HANDLE_VALUE;
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = standardOutput;
  }
  if (::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, redirected, 0, nullptr,
                       nullptr, &startup, &info)) {
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
  if (!process_) return STILL_ACTIVE;
  if (::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

namespace {

struct ProcessWindows {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ProcessWindows*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ::IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

bool IsMessageBox(HWND window) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return wcscmp(name, L"#32770") == 0 && ::GetDlgItem(window, 0xFFFF);
}

}  // namespace

InstallerRun::Outcome InstallerRun::PlayToEnd(DWORD timeoutMs, bool acceptAgreement, int answer) {
  Outcome outcome;
  if (!process_) return outcome;
  const DWORD start = ::GetTickCount();
  HWND agreementSeen = nullptr, boxSeen = nullptr;
  while (::WaitForSingleObject(process_, 20) == WAIT_TIMEOUT) {
    if (::GetTickCount() - start >= timeoutMs) {
      // Say what was on the screen, for the failure report.
      ProcessWindows all = {processId_, {}};
      ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&all));
      for (HWND window : all.found) {
        wchar_t title[256] = {}, name[64] = {};
        ::GetWindowTextW(window, title, 256);
        ::GetClassNameW(window, name, 64);
        fwprintf(stderr, L"still open: class %ls, title %ls\n", name, title);
      }
      ::TerminateProcess(process_, STILL_ACTIVE);
      ::WaitForSingleObject(process_, 5000);
      return outcome;
    }
    ProcessWindows windows = {processId_, {}};
    ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows.found) {
      if (::GetDlgItem(window, kLicenceLink) && window != agreementSeen) {
        agreementSeen = window;
        outcome.agreementShown = true;
        if (acceptAgreement) ClickControl(window, kAgreeButton);
      } else if (IsMessageBox(window) && window != boxSeen) {
        boxSeen = window;
        outcome.messageBoxTexts.push_back(MessageBoxText(window));
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, answer)));
      }
    }
  }
  ::GetExitCodeProcess(process_, &outcome.exitCode);
  return outcome;
}

HWND AcceptAgreementAndWaitUntilReady(const InstallerRun& run) {
  HWND agreement = run.WaitForWindowWith(kLicenceLink);
  if (!agreement) return nullptr;
  ClickControl(agreement, kAgreeButton);
  HWND window = run.WaitForWindowWith(kInstallButton);
  if (!window || !WaitForText(window, kInstallButton, L"立即安装")) return nullptr;
  if (!WaitUntil([&] { return ControlEnabled(window, kInstallButton); })) return nullptr;
  return window;
}

bool TypeInstallFolder(HWND window, const std::wstring& folder) {
  ClickControl(window, kCustomLink);
  if (!WaitForVisible(window, kPathEdit, true)) return false;
  ::SendMessageW(Control(window, kPathEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));
  return true;
}

InstallerRun::Outcome RunInstallerToEnd(const std::wstring& arguments, const std::wstring& program,
                                        DWORD timeoutMs) {
  InstallerRun run(arguments, program);
  return run.PlayToEnd(timeoutMs);
}

HWND WaitForProcessWindowWith(DWORD processId, int controlId, DWORD timeoutMs, bool visible,
                              HANDLE process) {
  struct Search {
    DWORD pid;
    int id;
    bool visible;
    HWND found;
  };
  DWORD start = ::GetTickCount();
  for (;;) {
    Search search = {processId, controlId, visible, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) WINAPI -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD pid = 0;
          ::GetWindowThreadProcessId(window, &pid);
          if (pid != s->pid || !::GetDlgItem(window, s->id)) return TRUE;
          if (s->visible && !::IsWindowVisible(window)) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (::GetTickCount() - start > timeoutMs) return nullptr;
    if (!process) ::Sleep(100);
    else if (::WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
  }
}

HWND Control(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(20);
  }
  return true;
}

std::wstring ControlText(HWND dialog, int id) {
  // GetWindowTextW of another process's window reads only the caption the
  // system keeps, which an edit control never sets: ask the control itself.
  HWND control = Control(dialog, id);
  LRESULT length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT got = ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool ControlVisible(HWND dialog, int id) { return ::IsWindowVisible(Control(dialog, id)) != FALSE; }
bool ControlEnabled(HWND dialog, int id) { return ::IsWindowEnabled(Control(dialog, id)) != FALSE; }

RECT ControlRect(HWND dialog, int id) {
  RECT rect = {};
  ::GetWindowRect(Control(dialog, id), &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE ClientSize(HWND window) {
  RECT client = {};
  ::GetClientRect(window, &client);
  return {client.right, client.bottom};
}

void ClickControl(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  RECT client = {};
  ::GetClientRect(control, &client);
  LPARAM point = MAKELPARAM(client.right / 2, client.bottom / 2);
  ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::PostMessageW(control, WM_LBUTTONUP, 0, point);
}

bool WaitForText(HWND dialog, int id, const std::wstring& text, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  while (ControlText(dialog, id) != text) {
    if (::GetTickCount() - start > timeoutMs || !::IsWindow(dialog)) return false;
    ::Sleep(50);
  }
  return true;
}

bool WaitForVisible(HWND dialog, int id, bool visible, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  while (ControlVisible(dialog, id) != visible) {
    if (::GetTickCount() - start > timeoutMs || !::IsWindow(dialog)) return false;
    ::Sleep(50);
  }
  return true;
}

int CountScreenPixels(HWND dialog, int id, COLORREF colour) {
  ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ::Sleep(300);
  RECT rect = {};
  ::GetWindowRect(Control(dialog, id), &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return 0;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::GdiFlush();
  int count = 0;
  const auto* pixels = static_cast<const DWORD*>(bits);
  DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < width * height; ++i) {
    if ((pixels[i] & 0xFFFFFF) == wanted) ++count;
  }
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return count;
}

HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs) {
  struct Search {
    HWND owner;
    HWND found;
  };
  DWORD start = ::GetTickCount();
  for (;;) {
    Search search = {owner, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) WINAPI -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          wchar_t cls[64] = {};
          ::GetClassNameW(window, cls, 64);
          if (lstrcmpW(cls, L"#32770") == 0 && ::GetWindow(window, GW_OWNER) == s->owner &&
              ::IsWindowVisible(window)) {
            s->found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (::GetTickCount() - start > timeoutMs) return nullptr;
    ::Sleep(100);
  }
}

std::wstring MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

namespace {
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
}

ScopedLogPixels::ScopedLogPixels(DWORD dpi) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD size = sizeof(old_), type = 0;
  had_ = ::RegQueryValueExW(key, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old_),
                            &size) == ERROR_SUCCESS && type == REG_DWORD;
  ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof(dpi));
  ::RegCloseKey(key);
}

ScopedLogPixels::~ScopedLogPixels() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return;
  }
  if (had_) {
    ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_),
                     sizeof(old_));
  } else {
    ::RegDeleteValueW(key, L"LogPixels");
  }
  ::RegCloseKey(key);
}
