// Fresh installs through the installer's windows, played as a user would,
// each on a machine of its own.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <tuple>

#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

const std::wstring kName = names::kName;
const wchar_t kScanNotice[] =
    L"Kelvo云查杀正在扫描，会影响云盘安装。\n请您关闭云查杀或等待扫描完成后再重试。";

std::wstring WindowTitle(HWND window) {
  wchar_t title[256] = {};
  ::GetWindowTextW(window, title, 256);
  return title;
}

// The agreement text as the dialog should show it: after the byte-order mark.
std::wstring AgreementResource(const wchar_t* name) {
  std::string bytes = InstallerResourceBytes(name, L"LICENCE");
  return bytes.size() < 2 ? L"" : std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                               (bytes.size() - 2) / 2);
}

TEST(InteractiveInstall, IntoAnotherFolderThroughEveryPage) {
  // Files of the user's in the default folder, where the first page
  // pre-extracts: moving elsewhere takes away only what it added.
  const std::wstring preExtracted = DefaultInstallFolder();
  ASSERT_EQ(::SHCreateDirectoryExW(nullptr, (preExtracted + L"\\mine").c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_TRUE(WriteFileBytes(preExtracted + L"\\notes.txt", "mine"));
  ASSERT_TRUE(WriteFileBytes(preExtracted + L"\\mine\\list.txt", "mine too"));
  const std::vector<TreeEntry> usersFiles = ReadTree(preExtracted);
  // A desktop shortcut of the user's that already starts the product there
  // is the one the install would write: it stays as it is.
  const std::wstring folder = L"D:\\Sync Apps\\Kelvopeltbox";
  ASSERT_TRUE(WriteShortcut(DesktopShortcut(kName), MainExe(folder), L"我的同步盘"));

  InstallerRun run(L"");
  HWND agreement = run.WaitForWindowWith(IDC_LICENCE_LINK);
  ASSERT_TRUE(agreement);
  EXPECT_EQ(WindowTitle(agreement), L"欢迎使用 KelvoAI云盘同步版");
  EXPECT_EQ(ControlText(agreement, IDOK), L"同意");
  EXPECT_EQ(ControlText(agreement, IDCANCEL), L"不同意");
  EXPECT_EQ(ControlText(agreement, IDC_LICENCE_LINK), L"《KelvoAI云盘软件许可使用协议》");
  EXPECT_EQ(ControlText(agreement, IDC_PRIVACY_LINK), L"《KelvoAI云盘隐私政策》");
  EXPECT_FALSE(ControlVisible(agreement, IDC_AGREEMENT_TEXT));
  // Each link shows its text whole, unselected.
  const std::wstring licence = AgreementResource(L"IDR_SOFTWARE_LICENCE");
  const std::wstring privacy = AgreementResource(L"IDR_PRIVATE_LICENCE");
  ASSERT_GT(licence.size(), 100u);
  ClickControl(agreement, IDC_LICENCE_LINK);
  EXPECT_TRUE(WaitForText(agreement, IDC_AGREEMENT_TEXT, licence, 10000))
      << ControlText(agreement, IDC_AGREEMENT_TEXT).size() << " of " << licence.size() << " shown";
  LRESULT selection = ::SendMessageW(Control(agreement, IDC_AGREEMENT_TEXT), EM_GETSEL, 0, 0);
  EXPECT_EQ(LOWORD(selection), HIWORD(selection)) << "text selected after the click";
  ClickControl(agreement, IDC_PRIVACY_LINK);
  EXPECT_TRUE(WaitForText(agreement, IDC_AGREEMENT_TEXT, privacy, 10000));

  ClickControl(agreement, IDOK);
  HWND main = run.WaitForWindowWith(IDC_INSTALL_BUTTON);
  ASSERT_TRUE(main);
  EXPECT_EQ(ControlText(main, IDC_INSTALL_BUTTON), L"正在准备中...");
  EXPECT_FALSE(ControlEnabled(main, IDC_INSTALL_BUTTON));
  ASSERT_TRUE(WaitForText(main, IDC_INSTALL_BUTTON, L"立即安装"));
  ASSERT_TRUE(WaitUntil([&] { return ControlEnabled(main, IDC_INSTALL_BUTTON); }));
  EXPECT_TRUE(FileExists(MainExe(preExtracted))) << "no pre-extraction";

  ClickControl(main, IDC_CUSTOM_LINK);
  ASSERT_TRUE(WaitForVisible(main, IDC_PATH_EDIT, true));
  EXPECT_EQ(ControlText(main, IDC_LOCATION_LABEL), L"安装位置：");
  EXPECT_EQ(ControlText(main, IDC_SPACE_LINE).rfind(L"所需空间：31.3 MB (磁盘剩余空间: ", 0), 0u)
      << ToUtf8(ControlText(main, IDC_SPACE_LINE));
  EXPECT_TRUE(ControlChecked(main, IDC_OPEN_AFTER_INSTALL));
  EXPECT_TRUE(ControlChecked(main, IDC_AUTO_START));
  // A folder without a drive part is refused at once.
  ::SendMessageW(Control(main, IDC_PATH_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\\\\server\\share"));
  EXPECT_TRUE(WaitForText(main, IDC_SPACE_LINE, L"所选目录无法安装，请选择其它目录"));
  EXPECT_FALSE(ControlEnabled(main, IDC_INSTALL_BUTTON));
  ::SendMessageW(Control(main, IDC_PATH_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"D:\\Sync Apps"));
  ASSERT_TRUE(WaitUntil([&] { return ControlEnabled(main, IDC_INSTALL_BUTTON); }));
  ClickControl(main, IDC_OPEN_AFTER_INSTALL);
  ASSERT_TRUE(WaitUntil([&] { return !ControlChecked(main, IDC_OPEN_AFTER_INSTALL); }));

  ClickControl(main, IDC_INSTALL_BUTTON);
  ASSERT_TRUE(WaitForText(main, IDC_INSTALL_BUTTON, L"完成", 180000));
  EXPECT_TRUE(ControlEnabled(main, IDC_CLOSE_BUTTON));
  EXPECT_FALSE(ControlVisible(main, IDC_PROGRESS_TEXT));
  EXPECT_FALSE(ControlVisible(main, IDC_OPEN_AFTER_INSTALL));
  ClickControl(main, IDC_INSTALL_BUTTON);
  EXPECT_EQ(run.WaitForExit(), 0u);

  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_TRUE(ReadTree(preExtracted) == usersFiles) << "the pre-extraction stayed, or the user's files went";
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
  // Wine's links give their target back in the ANSI code page, hence a folder
  // named in ASCII.
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\" + kName + L".lnk", MainExe(folder)));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), MainExe(folder)));
  EXPECT_EQ(ShortcutNote(DesktopShortcut(kName)), L"我的同步盘");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, names::kRunKey, names::kRunValue),
            L"\"" + MainExe(folder) + L"\" /autostart");
  EXPECT_EQ(RunningCount(names::kMainExe), 0) << "started though not asked to";
}

// The start-up notice of a machine whose virus scanner scans, until the user
// ignores it, and the one the window shows at 30 % while a scan runs.
TEST(InteractiveInstall, ScanNoticeAtTheStartAndAtThirtyPercentUntilTheScanEnds) {
  HANDLE fullScan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_DsFullScanInProgress");
  InstallerRun run(L"");
  HWND last = nullptr;
  for (int answer : {IDRETRY, IDCANCEL}) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      box = ::FindWindowW(L"#32770", names::kInstallerTitle);
      return box && box != last && IsMessageBox(box) && ::IsWindowVisible(box);
    })) << "no notice";
    last = box;
    EXPECT_EQ(MessageBoxText(box), kScanNotice);
    EXPECT_TRUE(WaitForText(box, IDCANCEL, L"忽略", 10000));
    EXPECT_EQ(::GetWindowLongW(Control(box, IDCANCEL), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    AnswerMessageBox(box, answer);  // retrying while the scan runs asks again
  }
  ::CloseHandle(fullScan);
  HWND main = AcceptAgreementAndWaitUntilReady(run);
  ASSERT_TRUE(main);

  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  ClickControl(main, IDC_INSTALL_BUTTON);
  HWND notice = WaitForOwnedMessageBox(main);
  ASSERT_TRUE(notice) << "no notice owned by the main window";
  EXPECT_EQ(MessageBoxText(notice), kScanNotice);
  EXPECT_EQ(ControlText(main, IDC_PROGRESS_TEXT), L"正在安装KelvoAI云盘同步版......");
  HWND bar = ::FindWindowExW(main, nullptr, L"KelvoSE_ProgressCtrl", nullptr);
  EXPECT_TRUE(bar && ::IsWindowVisible(bar));
  EXPECT_FALSE(ControlVisible(main, IDC_INSTALL_BUTTON));
  EXPECT_FALSE(ControlEnabled(main, IDC_CLOSE_BUTTON));
  ::CloseHandle(scan);
  AnswerMessageBox(notice, IDRETRY);  // the scan is over: the install goes on
  EXPECT_EQ(run.WaitForExit(180000), 0u);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
  EXPECT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }, 20000));
}

TEST(AgreementDialog, EachWayOutEndsTheRunWithItsCodeAndInstallsNothing) {
  const std::tuple<const char*, DWORD, void (*)(HWND)> ways[] = {
      {"decline", 2, [](HWND dialog) { ClickControl(dialog, IDCANCEL); }},
      {"close button", 1010, [](HWND dialog) { ClickControl(dialog, IDC_CLOSE_BUTTON); }},
      {"system close", 0, [](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); }},
      {"escape", 2, [](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }}};
  for (const auto& [what, exitCode, leave] : ways) {
    SCOPED_TRACE(what);
    InstallerRun run(L"");
    HWND dialog = run.WaitForWindowWith(IDC_LICENCE_LINK);
    ASSERT_TRUE(dialog);
    leave(dialog);
    EXPECT_EQ(run.WaitForExit(), exitCode);
  }
  EXPECT_FALSE(FileExists(DefaultInstallFolder()));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey));
}

TEST(InteractiveInstall, DamagedPackageOffersOnlyToExitAndInstallsNothing) {
  ScopedTempDir copies;
  std::wstring damaged = CopyInstallerWithResource(copies.path(), L"ID_KELVOZIP_MAIN", L"BINARY",
                                                   std::string(4096, 'x'));
  ASSERT_FALSE(damaged.empty());
  InstallerRun run(L"", damaged);
  HWND agreement = run.WaitForWindowWith(IDC_LICENCE_LINK);
  ASSERT_TRUE(agreement);
  ClickControl(agreement, IDOK);
  HWND main = run.WaitForWindowWith(IDC_INSTALL_BUTTON);
  ASSERT_TRUE(main);
  ASSERT_TRUE(WaitForText(main, IDC_INSTALL_BUTTON, L"退出安装"));
  EXPECT_EQ(ToUtf8(DamagedPackagePageFaults(main)), "");
  ClickControl(main, IDC_INSTALL_BUTTON);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_FALSE(FileExists(MainExe(DefaultInstallFolder())));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey));
}

// A second installer while the first shows its window: from the same file it
// ends quietly, from another copy it says why in the first one's window, and
// silent it ends with the code a deployment tool reads.
TEST(SecondInstance, SameFileIsQuietAnotherCopySaysSoAndSilentEndsWithItsCode) {
  InstallerRun first(L"");
  HWND main = AcceptAgreementAndWaitUntilReady(first);
  ASSERT_TRUE(main);
  EXPECT_EQ(InstallerRun(L"").WaitForExit(), 0u);
  EXPECT_EQ(WaitForOwnedMessageBox(main, 1500), nullptr) << "the same file must say nothing";

  ScopedTempDir copies;
  const std::wstring other = copies.Join(L"KelvoSetup (2).exe");
  ASSERT_TRUE(::CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), other.c_str(), FALSE));
  EXPECT_EQ(InstallerRun(L"", other).WaitForExit(), 0u);
  HWND box = WaitForOwnedMessageBox(main);
  ASSERT_TRUE(box);
  EXPECT_EQ(MessageBoxText(box), L"已经有KelvoAI云盘同步版的安装程序正在运行，\r\n请先结束正在运行的安装程序。");
  EXPECT_EQ(WindowTitle(box), L"KelvoAI云盘同步版");
  AnswerMessageBox(box, IDOK);

  EXPECT_EQ(InstallerRun(L"/S").WaitForExit(), 3u);
  EXPECT_TRUE(::IsWindowVisible(main));
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitForExit(), 0u);
}

TEST(Display144Dpi, BothWindowsAndTheirControlsGrowByOneAndAHalf) {
  const DWORD dpi = 144;
  ASSERT_EQ(::SHSetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)),
            ERROR_SUCCESS);

  InstallerRun run(L"");
  HWND agreement = run.WaitForWindowWith(IDC_LICENCE_LINK);
  ASSERT_TRUE(agreement);
  EXPECT_EQ(ClientSize(agreement).cx, 855);
  EXPECT_EQ(ClientSize(agreement).cy, 666);
  HWND main = AcceptAgreementAndWaitUntilReady(run);
  ASSERT_TRUE(main);
  EXPECT_EQ(ClientSize(main).cx, 855);
  EXPECT_EQ(ClientSize(main).cy, 570);
  RECT button = ControlRect(main, IDC_INSTALL_BUTTON);
  EXPECT_EQ(button.right - button.left, 240);
  EXPECT_EQ(button.bottom - button.top, 54);
  // Drawn from the 1.5 image set, the button is whole: blue along its top,
  // rounded, so its corner shows the page.
  RECT onScreen;
  ::GetWindowRect(Control(main, IDC_INSTALL_BUTTON), &onScreen);
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(::GetPixel(screen, onScreen.left + 120, onScreen.top + 5), RGB(26, 127, 245));
  EXPECT_EQ(::GetPixel(screen, onScreen.right - 2, onScreen.bottom - 2), RGB(245, 248, 254));
  ::ReleaseDC(nullptr, screen);

  ClickControl(main, IDC_CUSTOM_LINK);
  ASSERT_TRUE(WaitForVisible(main, IDC_PATH_EDIT, true));
  EXPECT_EQ(ClientSize(main).cx, 855);
  EXPECT_EQ(ClientSize(main).cy, 666);
  RECT edit = ControlRect(main, IDC_PATH_EDIT);
  EXPECT_TRUE(edit.right <= 855 && edit.bottom <= 666) << "the path edit lies outside the window";
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
