// Walks the real installer through its pages and saves each as a PNG, for a
// look by eye (scripts/run): page_tour OUT-FOLDER DPI
// With --accept-agreement it only presses "同意" on the agreement dialog of
// an installer started by someone else (a silent fresh install asks too).
// Pages: the agreement dialog with and without each text, preparing, ready,
// the custom panel, progress (held at 30 % by a scan notice), the notice,
// the finished page and the damaged-package page.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "install/ProductNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

std::wstring g_out;
int g_saved = 0;

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  if (!size) return false;
  std::string buffer(size, '\0');
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// The window's screen area as drawn, including whatever lies on top of it.
void Save(HWND window, const wchar_t* name) {
  if (!window) {
    fwprintf(stderr, L"[tour] %ls: no window\n", name);
    return;
  }
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ::Sleep(700);  // the button fades and the repaint settle
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::SelectObject(memory, previous);
  {
    Gdiplus::Bitmap image(bitmap, nullptr);
    CLSID png;
    std::wstring path = g_out + L"\\" + name + L".png";
    if (PngEncoder(&png) && image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok) {
      ++g_saved;
      fwprintf(stderr, L"[tour] %ls.png %dx%d\n", name, width, height);
    }
  }
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
}

// Leaves the machine as the next page expects it: nothing installed, and no
// product started by the last install still running from that folder.
void Cleanup(const std::wstring& folder) {
  EndProductProcesses();
  RemoveTreeForcibly(folder);
  // An interactive install ignores "/D=" and goes to the default folder.
  wchar_t programFiles[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
  RemoveTreeForcibly(std::wstring(programFiles) + L"\\Kelvo");
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, product::kUninstallKey);
}

// The display setting an installer started afterwards reads; 0 removes it.
void SetLogPixels(DWORD dpi) {
  HKEY key = nullptr;
  if (::RegCreateKeyW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", &key) != ERROR_SUCCESS) return;
  if (dpi) ::RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi), sizeof(dpi));
  else ::RegDeleteValueW(key, L"LogPixels");
  ::RegCloseKey(key);
}

// Starts an installer at the tour's DPI and returns its agreement dialog.
HWND StartAt(std::unique_ptr<InstallerRun>& run, DWORD dpi, const std::wstring& arguments,
             const std::wstring& program = std::wstring()) {
  SetLogPixels(dpi);
  run.reset(new InstallerRun(arguments, program));
  return run->WaitForWindowWith(IDC_LICENCE_LINK);
}

void AgreementAndFreshInstall(DWORD dpi, const ScopedTempDir& dir) {
  std::wstring folder = dir.Join(L"Kelvopeltbox");
  std::unique_ptr<InstallerRun> run;
  HWND agreement = StartAt(run, dpi, L"/D=\"" + folder + L"\"");
  Save(agreement, L"01-agreement");
  if (!agreement) return;
  ClickControl(agreement, IDC_LICENCE_LINK);
  ::Sleep(500);
  Save(agreement, L"02-agreement-licence");
  ClickControl(agreement, IDC_PRIVACY_LINK);
  ::Sleep(500);
  Save(agreement, L"03-agreement-privacy");
  ClickControl(agreement, IDOK);

  HWND main = run->WaitForWindowWith(IDC_INSTALL_BUTTON);
  if (!main) return;
  Save(main, L"04-preparing");
  WaitForText(main, IDC_INSTALL_BUTTON, L"立即安装");
  Save(main, L"05-ready");
  ClickControl(main, IDC_CUSTOM_LINK);
  WaitForVisible(main, IDC_PATH_EDIT, true, 10000);
  Save(main, L"06-custom-panel");

  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  ClickControl(main, IDC_INSTALL_BUTTON);
  HWND notice = WaitForOwnedMessageBox(main);
  ::CloseHandle(scan);
  if (notice) {
    Save(notice, L"08-scan-notice");
    ::SetWindowPos(notice, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(notice, SW_HIDE);
    Save(main, L"07-progress");
    ::PostMessageW(notice, WM_COMMAND, IDCANCEL, 0);
  }
  run->WaitForExit();
  Cleanup(folder);
}

void FinishedPage(DWORD dpi, const ScopedTempDir& dir) {
  std::wstring folder = dir.Join(L"Finished\\Kelvopeltbox");
  std::unique_ptr<InstallerRun> run;
  HWND agreement = StartAt(run, dpi, L"/D=\"" + folder + L"\"");
  if (!agreement) return;
  ClickControl(agreement, IDOK);
  HWND main = run->WaitForWindowWith(IDC_INSTALL_BUTTON);
  if (!main || !WaitForText(main, IDC_INSTALL_BUTTON, L"立即安装")) return;
  ClickControl(main, IDC_EXPAND_ARROW);
  WaitForVisible(main, IDC_OPEN_AFTER_INSTALL, true, 10000);
  ClickControl(main, IDC_OPEN_AFTER_INSTALL);
  ::Sleep(300);
  ClickControl(main, IDC_INSTALL_BUTTON);
  if (WaitForText(main, IDC_INSTALL_BUTTON, L"完成")) Save(main, L"09-finished");
  ClickControl(main, IDC_INSTALL_BUTTON);
  run->WaitForExit();
  Cleanup(folder);
}

void DamagedPage(DWORD dpi, const ScopedTempDir& dir) {
  std::wstring copy = CopyInstallerWithResource(dir.path(), L"ID_KELVOZIP_MAIN", L"BINARY",
                                                std::string(4096, 'x'));
  std::wstring folder = dir.Join(L"Damaged\\Kelvopeltbox");
  std::unique_ptr<InstallerRun> run;
  HWND agreement = StartAt(run, dpi, L"/D=\"" + folder + L"\"", copy);
  if (!agreement) return;
  ClickControl(agreement, IDOK);
  HWND main = run->WaitForWindowWith(IDC_INSTALL_BUTTON);
  if (main && WaitForText(main, IDC_INSTALL_BUTTON, L"退出安装")) Save(main, L"10-damaged-package");
  if (main) ClickControl(main, IDC_INSTALL_BUTTON);
  run->WaitForExit();
  Cleanup(folder);
}

}  // namespace

int AcceptAgreement() {
  for (int tries = 0; tries < 600; ++tries) {
    HWND agreement = ::FindWindowW(L"#32770", product::kInstallerTitle);
    if (agreement && ::GetDlgItem(agreement, IDC_LICENCE_LINK) && ::IsWindowVisible(agreement)) {
      ClickControl(agreement, IDOK);
      fwprintf(stderr, L"[tour] agreement accepted\n");
      return 0;
    }
    ::Sleep(100);
  }
  fwprintf(stderr, L"[tour] no agreement dialog\n");
  return 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"--accept-agreement") return AcceptAgreement();
  if (argc < 3) {
    fwprintf(stderr, L"usage: page_tour OUT-FOLDER DPI\n");
    return 2;
  }
  g_out = argv[1];
  ::CreateDirectoryW(g_out.c_str(), nullptr);
  DWORD dpi = static_cast<DWORD>(_wtoi(argv[2]));
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  {
    ScopedTempDir dir;
    AgreementAndFreshInstall(dpi, dir);
    FinishedPage(dpi, dir);
    DamagedPage(dpi, dir);
  }
  SetLogPixels(0);
  Gdiplus::GdiplusShutdown(token);
  fwprintf(stderr, L"[tour] %d pages saved\n", g_saved);
  return g_saved == 10 ? 0 : 1;
}
