// The installer over an install the shipped installer made, then turned into
// an earlier or later version with the build's copies of those.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

constexpr COLORREF kRed = RGB(255, 77, 92);
constexpr COLORREF kGrey = RGB(151, 161, 175);
const std::wstring kName = names::kName;
// A comment the installer never writes: a shortcut that has it was left alone.
const std::wstring kUserNote = L"我的同步盘";

class InstalledProduct : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
    ASSERT_TRUE(HoldsThePayload(folder_));
  }
  std::wstring GroupLink() const { return StartMenuGroup(kName) + L"\\" + kName + L".lnk"; }
  std::wstring UninstallLink() const { return StartMenuGroup(kName) + L"\\卸载" + kName + L".lnk"; }
  // The shortcuts as the user arranged them: annotated, the uninstall one deleted.
  void ArrangeShortcutsAsTheUser() {
    for (const std::wstring& link : {GroupLink(), DesktopShortcut(kName), QuickLaunchShortcut(kName)}) {
      ASSERT_TRUE(WriteShortcut(link, exe_, kUserNote));
    }
    ASSERT_TRUE(::DeleteFileW(UninstallLink().c_str()));
  }
  void ExpectShortcutsAsTheUserLeftThem() {
    for (const std::wstring& link : {GroupLink(), DesktopShortcut(kName), QuickLaunchShortcut(kName)}) {
      EXPECT_EQ(ShortcutNote(link), kUserNote) << ToUtf8(link);
    }
    EXPECT_FALSE(FileExists(UninstallLink())) << "a deleted shortcut came back";
  }
  // An interactive run over the install: its page, the click and progress
  // (without progress the window is closed instead), the end with 0.
  void RunThroughThePage(const wchar_t* status, const wchar_t* button, COLORREF colour,
                         const wchar_t* progress) {
    InstallerRun run(L"");
    HWND main = run.WaitForWindowWith(IDC_INSTALL_BUTTON);
    ASSERT_TRUE(main) << "no main window";
    EXPECT_FALSE(run.WaitForWindowWith(IDC_LICENCE_LINK, 0)) << "asked for the agreement";
    EXPECT_EQ(ToUtf8(ControlText(main, IDC_STATUS_LINE)), ToUtf8(status));
    EXPECT_EQ(ToUtf8(ControlText(main, IDC_INSTALL_BUTTON)), ToUtf8(button));
    EXPECT_GT(CountScreenPixels(main, IDC_STATUS_LINE, colour), 0);
    EXPECT_FALSE(ControlVisible(main, IDC_CUSTOM_LINK));
    if (progress) {
      ClickControl(main, IDC_INSTALL_BUTTON);
      EXPECT_TRUE(WaitForText(main, IDC_PROGRESS_TEXT, progress));
    } else {
      ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(run.WaitForExit(180000), 0u);
  }
  void ExpectUpgraded() {
    EXPECT_TRUE(HoldsThePayload(folder_));
    EXPECT_EQ(UninstallValue(L"DisplayVersion"), KELVO_OWN_VERSION_TEXT);
  }

  const std::wstring folder_ = DefaultInstallFolder();
  const std::wstring exe_ = MainExe(folder_);
};

// From the version that wrote today's shortcuts on, with an outdated toolbar
// and an uninstall entry still carrying an earlier version's extras.
TEST_F(InstalledProduct, InteractiveUpgradeWithTheProductRunningClosesItAndStartsTheNewOne) {
  ASSERT_TRUE(MakeInstalledVersion(folder_, L"2.0.0.1125"));
  ASSERT_TRUE(::CopyFileW(StandInOfVersion(L"1.0.1.1029", L"KelvoCloudEnterpriseBar.dll").c_str(),
                          (folder_ + L"\\KelvoCloudEnterpriseBar.dll").c_str(), FALSE));
  ArrangeShortcutsAsTheUser();
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, L"QuietUninstallString", L"old"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, std::wstring(names::kUninstallKey) + L"\\Old", L"x", L"y"));
  const std::vector<TreeEntry> before = ReadTree(folder_);
  RunThroughThePage(L"您已经安装过KelvoAI云盘同步版，即将升级到新版", L"立即升级", kGrey, nullptr);
  EXPECT_TRUE(ReadTree(folder_) == before) << "closing before the click changed the install";

  InstallerRun product(L"", exe_);
  InstallerRun intro(L"", folder_ + L"\\KelvoCloudIntro.exe");
  ASSERT_TRUE(WaitUntil([] { return ::FindWindowW(nullptr, L"Kelvoenterpriseboxtray") != nullptr; }));
  // Open before the run: the entry is rewritten in place, never deleted.
  HKEY entry = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, names::kUninstallKey, 0, KEY_READ, &entry), ERROR_SUCCESS);
  RunThroughThePage(L"KelvoAI云盘同步版正在运行中，\"继续\"将关闭KelvoAI云盘同步版并安装", L"继续", kRed,
                    L"正在升级KelvoAI云盘同步版......");

  EXPECT_NE(product.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the old product still runs";
  EXPECT_NE(intro.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the intro still runs";
  ExpectUpgraded();
  ExpectShortcutsAsTheUserLeftThem();
  EXPECT_EQ(RegText(entry, L"", L"DisplayVersion"), KELVO_OWN_VERSION_TEXT);
  ::RegCloseKey(entry);
  EXPECT_EQ(UninstallValue(L"QuietUninstallString"), L"");
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, std::wstring(names::kUninstallKey) + L"\\Old"));
  EXPECT_NE(WaitForLaunchLine(L"/updatepro /protype=2"), L"") << "the outdated toolbar was not named";
  EXPECT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }, 20000));
}

// From before today's shortcuts, over a product deaf to the request to close,
// while the shell extension is loaded.
TEST_F(InstalledProduct, SilentUpgradeEndsAProductThatIgnoresCloseAndRecreatesTheShortcuts) {
  ASSERT_TRUE(MakeInstalledVersion(folder_, L"2.0.0.1124"));
  ArrangeShortcutsAsTheUser();
  ASSERT_TRUE(SetStandInFlag(L"ignore-close"));
  InstallerRun deaf(L"", exe_);
  ASSERT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }));
  HANDLE extension = ::CreateMutexW(nullptr, FALSE, L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}");

  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_FALSE(outcome.agreementShown);
  EXPECT_FALSE(outcome.mainWindowShown);
  EXPECT_TRUE(outcome.messageBoxTexts.empty());
  EXPECT_NE(deaf.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the deaf product still runs";
  ExpectUpgraded();
  EXPECT_TRUE(IsInstallerShortcutTo(GroupLink(), exe_));
  EXPECT_TRUE(IsInstallerShortcutTo(UninstallLink(), folder_ + L"\\uninstall.exe"));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe_));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe_));
  EXPECT_NE(WaitForLaunchLine(L"/autostart"), L"") << "not started as at log-on";
  EXPECT_EQ(WaitForLaunchLine(L"/explorer", 0), L"") << "a silent update restarted the shell";
  ::CloseHandle(extension);
}

// The same version again: the user's shortcuts and own files stay,
// everything else is the payload again, read-only or changed.
TEST_F(InstalledProduct, OverwriteKeepsTheUsersShortcutsAndFilesAndReplacesTheRest) {
  ArrangeShortcutsAsTheUser();
  for (const TreeEntry& entry : ReadTree(folder_)) {
    ::SetFileAttributesW((folder_ + L"\\" + entry.path).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  const std::wstring changed = folder_ + L"\\KelvoCloudIntro.ui";
  ::SetFileAttributesW(changed.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteFileBytes(changed, "changed by the user"));
  ASSERT_TRUE(WriteFileBytes(folder_ + L"\\notes.txt", "mine"));
  ::SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_READONLY);

  RunThroughThePage(L"您已经安装了相同版本的KelvoAI云盘同步版,即将覆盖安装", L"覆盖安装", kRed,
                    L"正在覆盖安装KelvoAI云盘同步版......");

  EXPECT_EQ(FileText(folder_ + L"\\notes.txt"), "mine");
  for (const TreeEntry& entry : ReadTree(PayloadFolder())) {
    EXPECT_TRUE(entry.isFolder || FileText(folder_ + L"\\" + entry.path) == entry.content)
        << "not replaced: " << ToUtf8(entry.path);
  }
  ExpectShortcutsAsTheUserLeftThem();
  EXPECT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }, 20000));
}

TEST_F(InstalledProduct, NewerVersionIsKeptSilentlyAndRefusedWithAMessageOnScreen) {
  ASSERT_TRUE(MakeInstalledVersion(folder_, L"99.0.0.1"));
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, names::kAppPathsKey);
  const std::vector<TreeEntry> before = ReadTree(folder_);

  InstallerRun::Outcome silent = RunInstallerToEnd(L"/S");
  EXPECT_EQ(silent.exitCode, 0u);
  EXPECT_FALSE(silent.agreementShown);
  EXPECT_TRUE(silent.messageBoxTexts.empty());
  // The newer copy is what App Paths names afterwards.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, names::kAppPathsKey, nullptr), exe_);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, names::kAppPathsKey, L"Path"), folder_);

  InstallerRun::Outcome shown = RunInstallerToEnd(L"");
  EXPECT_EQ(shown.exitCode, 0u);
  EXPECT_EQ(shown.messageBoxTexts, std::vector<std::wstring>{
      L"您要安装的版本比已经安装的版本低，覆盖安装将造成无法使用。\n请您到官方网站下载最新版。"});
  EXPECT_TRUE(ReadTree(folder_) == before) << "the newer install was touched";
}

}  // namespace
