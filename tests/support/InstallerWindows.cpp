#include "support/InstallerWindows.h"

#include "support/InstallerRun.h"
#include "ui/DisplayScale.h"
#include "ui/KelvoProgressCtrl.h"

namespace {

// The top-level windows of processId (0: of any process).
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
  struct Search { DWORD processId; bool visibleOnly; std::vector<HWND> found; } search = {processId, visibleOnly, {}};
  ::EnumWindows(
      [](HWND window, LPARAM context) WINAPI -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if ((!s->processId || owner == s->processId) && (!s->visibleOnly || ::IsWindowVisible(window))) {
          s->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD processId) { return TopLevelWindows(processId, true); }

HWND WaitForProcessWindowWith(DWORD processId, int controlId, DWORD timeoutMs, bool visible,
                              HANDLE process) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND window : TopLevelWindows(processId, visible)) {
      if (::GetDlgItem(window, controlId)) return window;
    }
    if (::GetTickCount() - start > timeoutMs) return nullptr;
    if (!process) ::Sleep(100);
    else if (::WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
  }
}

bool IsMessageBox(HWND window) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return wcscmp(name, L"#32770") == 0 && ::GetDlgItem(window, 0xFFFF);
}

HWND Control(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

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
bool ControlChecked(HWND dialog, int id) {
  return ::SendMessageW(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

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

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(20);
  }
  return true;
}

bool WaitForText(HWND dialog, int id, const std::wstring& text, DWORD timeoutMs) {
  return WaitUntil([&] { return !::IsWindow(dialog) || ControlText(dialog, id) == text; },
                   timeoutMs) && ::IsWindow(dialog);
}

bool WaitForVisible(HWND dialog, int id, bool visible, DWORD timeoutMs) {
  return WaitUntil([&] { return !::IsWindow(dialog) || ControlVisible(dialog, id) == visible; },
                   timeoutMs) && ::IsWindow(dialog);
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
  info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::GdiFlush();
  int count = 0;
  const auto* pixels = static_cast<const DWORD*>(bits);
  DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < width * height; ++i) count += (pixels[i] & 0xFFFFFF) == wanted;
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return count;
}

HWND WaitForOwnedMessageBox(HWND owner, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND window : TopLevelWindows(0, true)) {
      if (IsMessageBox(window) && ::GetWindow(window, GW_OWNER) == owner) found = window;
    }
    return found != nullptr;
  }, timeoutMs);
  return found;
}

std::wstring MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

void AnswerMessageBox(HWND box, int button) {
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(Control(box, button)));
}

HWND AcceptAgreementAndWaitUntilReady(const InstallerRun& run) {
  HWND agreement = run.WaitForWindowWith(IDC_LICENCE_LINK);
  if (!agreement) return nullptr;
  ClickControl(agreement, IDOK);
  HWND window = run.WaitForWindowWith(IDC_INSTALL_BUTTON);
  if (!window || !WaitForText(window, IDC_INSTALL_BUTTON, L"立即安装")) return nullptr;
  return WaitUntil([&] { return ControlEnabled(window, IDC_INSTALL_BUTTON); }) ? window : nullptr;
}

std::wstring DamagedPackagePageFaults(HWND main) {
  std::wstring faults;
  auto expect = [&](bool ok, const wchar_t* what) {
    if (!ok) faults += std::wstring(what) + L"; ";
  };
  expect(ControlText(main, IDC_INSTALL_BUTTON) == L"退出安装" && ControlVisible(main, IDC_INSTALL_BUTTON) &&
         ControlEnabled(main, IDC_INSTALL_BUTTON), L"exit button");
  expect(ControlText(main, IDC_STATUS_LINE) == L"安装包不完整或被破坏,请从KelvoAI云盘主页重新下载" &&
         CountScreenPixels(main, IDC_STATUS_LINE, RGB(255, 77, 92)) > 0, L"red status line");
  expect(ControlEnabled(main, IDC_CLOSE_BUTTON), L"close enabled");
  HWND bar = ::FindWindowExW(main, nullptr, CKelvoProgressCtrl::kClassName, nullptr);
  for (HWND other : {Control(main, IDC_CUSTOM_LINK), Control(main, IDC_EXPAND_ARROW), Control(main, IDC_COLLAPSE_ARROW),
                     Control(main, IDC_PATH_EDIT), Control(main, IDC_PROGRESS_TEXT), bar}) {
    expect(!other || !::IsWindowVisible(other), L"a control of another page shows");
  }
  expect(ClientSize(main).cy == Scaled(380), L"height");
  return faults;
}
