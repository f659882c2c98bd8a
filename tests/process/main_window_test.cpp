// The main window's pages through the real installer: a fresh install from
// preparing to the end, the custom-install panel, the finished page, the
// damaged-package page, a folder change, the scan notice at 30 %, a second
// installer instance, and the upgrade and overwrite texts.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <memory>
#include <string>

#include "install/ProductNames.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/ProcessRunner.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"

namespace {

constexpr COLORREF kRed = RGB(255, 77, 92);
constexpr COLORREF kGrey = RGB(151, 161, 175);

std::wstring FolderSwitch(const std::wstring& folder) { return L"/D=\"" + folder + L"\""; }

bool ProductInstalledIn(const std::wstring& folder) {
  return FileExists(folder + L"\\" + product::kMainExe);
}

// Removes what an install left behind, so the next test starts fresh: a
// product the install started would make the next one ask to close it.
void RemoveInstall(const std::wstring& folder) {
  EndProductProcesses();
  if (!folder.empty()) RemoveTreeForcibly(folder);
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, product::kUninstallKey);
}

// A fresh install started, agreed to and shown; folder is where it
// pre-extracts (the path edit's text).
class FreshInstall : public ::testing::Test {
 protected:
  void StartAndAgree(const std::wstring& extraArguments = std::wstring(),
                     const std::wstring& program = std::wstring()) {
    run_.reset(new InstallerRun(FolderSwitch(dir_.Join(L"Kelvopeltbox")) + extraArguments, program));
    ASSERT_TRUE(run_->started());
    HWND agreement = run_->WaitForWindowWith(kLicenceLink);
    ASSERT_TRUE(agreement);
    ClickControl(agreement, kAgreeButton);
    main_ = run_->WaitForWindowWith(kInstallButton);
    ASSERT_TRUE(main_);
    firstButtonText_ = ControlText(main_, kInstallButton);
    firstButtonEnabled_ = ControlEnabled(main_, kInstallButton);
    folder_ = ControlText(main_, kPathEdit);
  }
  void WaitUntilReady() {
    ASSERT_TRUE(WaitForText(main_, kInstallButton, L"立即安装")) << ControlText(main_, kInstallButton);
    ASSERT_TRUE(WaitForVisible(main_, kCustomLink, true, 5000));
  }
  void TearDown() override {
    run_.reset();
    RemoveInstall(folder_);
  }

  ScopedTempDir dir_;
  std::unique_ptr<InstallerRun> run_;
  HWND main_ = nullptr;
  std::wstring firstButtonText_;
  bool firstButtonEnabled_ = true;
  std::wstring folder_;
};

TEST_F(FreshInstall, PreparesThenInstallsAndClosesWithCode0) {
  StartAndAgree();
  EXPECT_EQ(firstButtonText_, L"正在准备中...");
  EXPECT_FALSE(firstButtonEnabled_);
  EXPECT_FALSE(ControlVisible(main_, kStatusLine));
  WaitUntilReady();
  EXPECT_TRUE(ControlEnabled(main_, kInstallButton));
  EXPECT_TRUE(ControlVisible(main_, kExpandArrow));
  EXPECT_TRUE(ProductInstalledIn(folder_)) << "pre-extraction missing";

  // A scan holds the install at 30 %, so the progress page can be looked at.
  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  ClickControl(main_, kInstallButton);
  HWND notice = WaitForOwnedMessageBox(main_);
  ::CloseHandle(scan);
  ASSERT_TRUE(notice);
  EXPECT_TRUE(ControlVisible(main_, kProgressText));
  EXPECT_EQ(ControlText(main_, kProgressText), L"正在安装KelvoAI云盘同步版......");
  HWND bar = ::FindWindowExW(main_, nullptr, L"KelvoSE_ProgressCtrl", nullptr);
  EXPECT_TRUE(bar && ::IsWindowVisible(bar));
  EXPECT_FALSE(ControlVisible(main_, kInstallButton));
  EXPECT_FALSE(ControlEnabled(main_, kCloseButton));
  ::PostMessageW(notice, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  EXPECT_TRUE(ProductInstalledIn(folder_));
}

TEST_F(FreshInstall, CustomPanelShowsTheFolderAndTheSpaceLine) {
  StartAndAgree();
  WaitUntilReady();
  SIZE collapsed = ClientSize(main_);
  ClickControl(main_, kCustomLink);
  ASSERT_TRUE(WaitForVisible(main_, kPathEdit, true, 10000));
  SIZE expanded = ClientSize(main_);
  EXPECT_EQ(expanded.cx, collapsed.cx);
  EXPECT_GT(expanded.cy, collapsed.cy);
  for (int id : {kLocationLabel, kBrowseButton, kSpaceLine, kOpenAfterInstall, kAutoStart,
                 kCollapseArrow}) {
    EXPECT_TRUE(ControlVisible(main_, id)) << id;
  }
  EXPECT_FALSE(ControlVisible(main_, kExpandArrow));
  EXPECT_EQ(ControlText(main_, kLocationLabel), L"安装位置：");
  std::wstring line = ControlText(main_, kSpaceLine);
  EXPECT_EQ(line.rfind(L"所需空间：31.3 MB (磁盘剩余空间: ", 0), 0u) << line;
  EXPECT_EQ(line.back(), L')');
  EXPECT_EQ(::SendMessageW(Control(main_, kOpenAfterInstall), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Control(main_, kAutoStart), BM_GETCHECK, 0, 0), BST_CHECKED);

  // A folder without a drive part is refused at once.
  ::SendMessageW(Control(main_, kPathEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"\\\\server\\share\\x"));
  EXPECT_TRUE(WaitForText(main_, kSpaceLine, L"所选目录无法安装，请选择其它目录", 10000));
  EXPECT_FALSE(ControlEnabled(main_, kInstallButton));
  ::SendMessageW(Control(main_, kPathEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder_.c_str()));
  EXPECT_TRUE(WaitForVisible(main_, kSpaceLine, true, 5000));
  EXPECT_TRUE(ControlEnabled(main_, kInstallButton));

  ClickControl(main_, kCollapseArrow);
  ASSERT_TRUE(WaitForVisible(main_, kPathEdit, false, 10000));
  EXPECT_EQ(ClientSize(main_).cy, collapsed.cy);
  EXPECT_TRUE(ControlVisible(main_, kExpandArrow));
  ::PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  EXPECT_FALSE(IsFolder(folder_)) << "closing before the install keeps the pre-extraction";
}

TEST_F(FreshInstall, WithoutOpeningTheProductShowsTheFinishedPage) {
  StartAndAgree();
  WaitUntilReady();
  ClickControl(main_, kExpandArrow);
  ASSERT_TRUE(WaitForVisible(main_, kOpenAfterInstall, true, 10000));
  ClickControl(main_, kOpenAfterInstall);
  ::Sleep(300);
  ASSERT_EQ(::SendMessageW(Control(main_, kOpenAfterInstall), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ClickControl(main_, kInstallButton);
  ASSERT_TRUE(WaitForText(main_, kInstallButton, L"完成"));
  EXPECT_TRUE(ControlVisible(main_, kInstallButton));
  EXPECT_TRUE(ControlEnabled(main_, kInstallButton));
  EXPECT_TRUE(ControlEnabled(main_, kCloseButton));
  EXPECT_FALSE(ControlVisible(main_, kProgressText));
  EXPECT_FALSE(ControlVisible(main_, kOpenAfterInstall));
  EXPECT_TRUE(ProductInstalledIn(folder_));
  ClickControl(main_, kInstallButton);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  EXPECT_TRUE(ProductInstalledIn(folder_)) << "the finished install is kept";
}

TEST_F(FreshInstall, AnotherFolderMakesTheWorkerDropThePreExtractionAndExtractAgain) {
  StartAndAgree();
  WaitUntilReady();
  ASSERT_TRUE(ProductInstalledIn(folder_));
  ClickControl(main_, kCustomLink);
  ASSERT_TRUE(WaitForVisible(main_, kPathEdit, true, 10000));
  ScopedTempDir other;
  ::SendMessageW(Control(main_, kPathEdit), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(other.path().c_str()));
  ClickControl(main_, kInstallButton);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  std::wstring moved = other.Join(L"Kelvopeltbox");
  EXPECT_TRUE(ProductInstalledIn(moved));
  EXPECT_FALSE(IsFolder(folder_)) << "pre-extraction folder left behind";
  RemoveInstall(moved);
}

TEST_F(FreshInstall, DamagedPackageOffersOnlyToExit) {
  ScopedTempDir copyDir;
  std::wstring damaged = CopyInstallerWithResource(copyDir.path(), L"ID_KELVOZIP_MAIN", L"BINARY",
                                                   std::string(4096, 'x'));
  ASSERT_FALSE(damaged.empty());
  StartAndAgree(L"", damaged);
  ASSERT_TRUE(WaitForText(main_, kInstallButton, L"退出安装"));
  EXPECT_TRUE(ControlEnabled(main_, kInstallButton));
  EXPECT_TRUE(ControlVisible(main_, kStatusLine));
  EXPECT_EQ(ControlText(main_, kStatusLine), L"安装包不完整或被破坏,请从KelvoAI云盘主页重新下载");
  EXPECT_GT(CountScreenPixels(main_, kStatusLine, kRed), 0);
  EXPECT_FALSE(ControlVisible(main_, kCustomLink));
  EXPECT_FALSE(ControlVisible(main_, kExpandArrow));
  EXPECT_TRUE(ControlEnabled(main_, kCloseButton));
  ClickControl(main_, kInstallButton);
  EXPECT_EQ(run_->WaitForExit(), 0u);
}

TEST_F(FreshInstall, ScanNoticeIsOwnedByTheWindowAndTheInstallGoesOn) {
  StartAndAgree();
  WaitUntilReady();
  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  ASSERT_TRUE(scan);
  ClickControl(main_, kInstallButton);
  HWND notice = WaitForOwnedMessageBox(main_);
  ::CloseHandle(scan);
  ASSERT_TRUE(notice) << "no notice owned by the main window";
  EXPECT_EQ(MessageBoxText(notice),
            L"Kelvo云查杀正在扫描，会影响云盘安装。\n请您关闭云查杀或等待扫描完成后再重试。");
  // Retry with the scan over goes on, as "忽略" would.
  ::PostMessageW(notice, WM_COMMAND, IDRETRY, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  EXPECT_TRUE(ProductInstalledIn(folder_));
}

TEST_F(FreshInstall, SecondInstanceRaisesTheWindowAndOnlyAnotherFileSaysSo) {
  StartAndAgree();
  WaitUntilReady();
  ProcessResult same = RunProgram(BuiltProgram(L"KelvoSetup.exe"), L"");
  EXPECT_EQ(same.exitCode, 0u);
  ::Sleep(500);
  EXPECT_EQ(WaitForOwnedMessageBox(main_, 1000), nullptr) << "same file must not say anything";

  ScopedTempDir copyDir;
  std::wstring other = copyDir.Join(L"KelvoSetupOther.exe");
  ASSERT_TRUE(::CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), other.c_str(), FALSE));
  ProcessResult different = RunProgram(other, L"");
  EXPECT_EQ(different.exitCode, 0u);
  HWND box = WaitForOwnedMessageBox(main_);
  ASSERT_TRUE(box);
  EXPECT_EQ(MessageBoxText(box),
            L"已经有KelvoAI云盘同步版的安装程序正在运行，\r\n请先结束正在运行的安装程序。");
  wchar_t caption[64] = {};
  ::GetWindowTextW(box, caption, 64);
  EXPECT_STREQ(caption, L"KelvoAI云盘同步版");
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(::IsWindowVisible(main_));
  ::PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
}

TEST_F(FreshInstall, SilentRunNeedsTheAgreementAndInstallsHidden) {
  folder_ = dir_.Join(L"Kelvopeltbox");
  run_.reset(new InstallerRun(L"/S " + FolderSwitch(folder_)));
  HWND agreement = run_->WaitForWindowWith(kLicenceLink);
  ASSERT_TRUE(agreement) << "a silent fresh install still asks for the agreement";
  ClickControl(agreement, kAgreeButton);
  HWND main = run_->WaitForWindowWith(kInstallButton, 10000, false);
  if (main) {
    EXPECT_FALSE(::IsWindowVisible(main)) << "a silent install shows no main window";
  }
  EXPECT_EQ(run_->WaitForExit(), 0u);
  EXPECT_TRUE(ProductInstalledIn(folder_));
}

// An earlier installation in a folder of its own, found through the
// uninstall entry.
class ExistingInstall : public ::testing::Test {
 protected:
  void Install(const std::wstring& version) {
    folder_ = dir_.Join(L"Kelvopeltbox");
    ASSERT_TRUE(MakeInstalledCopy(folder_, version, {product::kMainExe, L"uninstall.exe"}));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation",
                               folder_));
  }
  // The main window of an installer started now; skips the test while the
  // installer does not recognise earlier installations yet.
  HWND StartInstaller(const std::wstring& arguments = std::wstring()) {
    run_.reset(new InstallerRun(arguments));
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 30000) {
      if (run_->WaitForWindowWith(kLicenceLink, 100)) return nullptr;  // taken for a fresh install
      if (HWND found = run_->WaitForWindowWith(kInstallButton, 100, arguments.empty())) return found;
    }
    return nullptr;
  }
  void TearDown() override {
    run_.reset();
    RemoveInstall(folder_);
  }

  ScopedTempDir dir_;
  std::wstring folder_;
  std::unique_ptr<InstallerRun> run_;
};


TEST_F(ExistingInstall, UpgradeShowsGreyNoticeAndUpgradeButton) {
  Install(L"1.0.0.1");
  HWND main = StartInstaller();
  ASSERT_TRUE(main) << "the earlier installation was not recognised";
  EXPECT_EQ(ControlText(main, kStatusLine), L"您已经安装过KelvoAI云盘同步版，即将升级到新版");
  EXPECT_EQ(ControlText(main, kInstallButton), L"立即升级");
  EXPECT_GT(CountScreenPixels(main, kStatusLine, kGrey), 0);
  EXPECT_FALSE(ControlVisible(main, kCustomLink));
  EXPECT_FALSE(ControlVisible(main, kExpandArrow));
  ClickControl(main, kInstallButton);
  EXPECT_TRUE(WaitForText(main, kProgressText, L"正在升级KelvoAI云盘同步版......"));
  EXPECT_EQ(run_->WaitForExit(), 0u);
}

TEST_F(ExistingInstall, OverwriteShowsRedNoticeAndOverwriteButton) {
  Install(KELVO_OWN_VERSION_TEXT);
  HWND main = StartInstaller();
  ASSERT_TRUE(main) << "the earlier installation was not recognised";
  EXPECT_EQ(ControlText(main, kStatusLine),
            L"您已经安装了相同版本的KelvoAI云盘同步版,即将覆盖安装");
  EXPECT_EQ(ControlText(main, kInstallButton), L"覆盖安装");
  EXPECT_GT(CountScreenPixels(main, kStatusLine, kRed), 0);
  ClickControl(main, kInstallButton);
  EXPECT_TRUE(WaitForText(main, kProgressText, L"正在覆盖安装KelvoAI云盘同步版......"));
  EXPECT_EQ(run_->WaitForExit(), 0u);
}

TEST_F(ExistingInstall, RunningProductAsksToContinue) {
  Install(L"1.0.0.1");
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  std::wstring exe = folder_ + L"\\" + product::kMainExe;
  std::wstring commandLine = L"\"" + exe + L"\"";
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
  ::CloseHandle(info.hThread);
  ::WaitForInputIdle(info.hProcess, 5000);
  HWND main = StartInstaller();
  if (!main) {
    ::TerminateProcess(info.hProcess, 0);
    ::CloseHandle(info.hProcess);
  }
  ASSERT_TRUE(main) << "the earlier installation was not recognised";
  EXPECT_EQ(ControlText(main, kStatusLine),
            L"KelvoAI云盘同步版正在运行中，\"继续\"将关闭KelvoAI云盘同步版并安装");
  EXPECT_EQ(ControlText(main, kInstallButton), L"继续");
  EXPECT_GT(CountScreenPixels(main, kStatusLine, kRed), 0);
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
  ::TerminateProcess(info.hProcess, 0);
  ::WaitForSingleObject(info.hProcess, 5000);
  ::CloseHandle(info.hProcess);
}

TEST_F(ExistingInstall, SilentUpgradeRunsWithoutAnyWindow) {
  Install(L"1.0.0.1");
  HWND main = StartInstaller(L"/S");
  ASSERT_TRUE(main) << "the earlier installation was not recognised";
  EXPECT_FALSE(::IsWindowVisible(main));
  EXPECT_EQ(run_->WaitForExit(), 0u);
  std::wstring exe = folder_ + L"\\" + product::kMainExe;
  EXPECT_EQ(ReadFileVersionText(exe.c_str()), KELVO_OWN_VERSION_TEXT);
}

}  // namespace
