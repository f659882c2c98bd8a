#include "ui/DlgBase.h"

#include "install/ProductNames.h"
#include "res/resource.h"

void CDlgBaseCommon::InitBase(HWND hwnd) {
  hwnd_ = hwnd;
  ::SetWindowTextW(hwnd, product::kInstallerTitle);
  ResizeClient(initialWidth_, initialHeight_);
  HMODULE module = skin_->module();
  HANDLE big = ::LoadImageW(module, MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON,
                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0);
  HANDLE small = ::LoadImageW(module, MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON,
                              ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0);
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  CentreWindow();
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(skin_->font(0)), FALSE);
}

void CDlgBaseCommon::ResizeClient(int width, int height) {
  if (!hwnd_) return;
  RECT frame = {0, 0, width, height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(hwnd_, GWL_EXSTYLE)));
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgBaseCommon::CentreWindow() {
  if (!hwnd_) return;
  RECT window = {};
  ::GetWindowRect(hwnd_, &window);
  RECT area = {};
  HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    MONITORINFO info = {sizeof(info)};
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info);
    area = info.rcWork;
  }
  int width = window.right - window.left, height = window.bottom - window.top;
  int x = area.left + ((area.right - area.left) - width) / 2;
  int y = area.top + ((area.bottom - area.top) - height) / 2;
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgBaseCommon::Invalidate() {
  if (hwnd_) ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

INT_PTR CDlgBaseCommon::DialogResult(HWND hwnd, UINT msg, LRESULT result) {
  switch (msg) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: case WM_INITDIALOG: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}
