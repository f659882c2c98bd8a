// An earlier version registered under the product's former name
// "Kelvo安全云盘同步版", with the shortcuts it made under that name: a silent
// upgrade moves all of them, and the entry, to the current name.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

const std::wstring kName = names::kName;
const std::wstring kFormerName = names::kFormerName;
// Only the earlier version's desktop shortcut carries this comment.
const std::wstring kEarlierNote = L"早期版本的桌面快捷方式";

std::wstring MakersGroup() { return ShellFolder(CSIDL_PROGRAMS) + L"\\Kelvo安全中心"; }
std::wstring TaskbarPin() { return QuickLaunchShortcut(L"User Pinned\\TaskBar\\" + kFormerName); }
std::wstring FavouritesLink() { return ShellFolder(CSIDL_PROFILE) + L"\\links\\" + kFormerName + L".lnk"; }

class FormerName : public ::testing::Test {
 protected:
  // The earlier version as it was left: installed, then renamed back, its
  // shortcuts under the former name, the desktop one to desktopTarget.
  void InstallEarlierVersion(const std::wstring& desktopTarget) {
    ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
    ASSERT_TRUE(MakeInstalledVersion(folder_, L"2.0.0.1124"));
    for (const wchar_t* value : {L"DisplayName", L"NSIS:StartMenuDir"}) {
      ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, value, kFormerName));
    }
    RemoveTreeForcibly(StartMenuGroup(kName));
    ::DeleteFileW(DesktopShortcut(kName).c_str());
    ::DeleteFileW(QuickLaunchShortcut(kName).c_str());
    ASSERT_TRUE(WriteShortcut(StartMenuGroup(kFormerName) + L"\\" + kFormerName + L".lnk", exe_));
    ASSERT_TRUE(WriteShortcut(MakersGroup() + L"\\Kelvo安全卫士.lnk", L"C:\\Kelvosafe\\Kelvosafe.exe"));
    ASSERT_TRUE(WriteShortcut(DesktopShortcut(kFormerName), desktopTarget, kEarlierNote));
    for (const std::wstring& link : {QuickLaunchShortcut(kFormerName), TaskbarPin(), FavouritesLink()}) {
      ASSERT_TRUE(WriteShortcut(link, exe_));
    }
  }
  void RunSilentUpgrade() {
    InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_FALSE(FileExists(DesktopShortcut(kFormerName)));
  }

  const std::wstring folder_ = DefaultInstallFolder();
  const std::wstring exe_ = MainExe(folder_);
};

TEST_F(FormerName, SilentUpgradeMovesTheEntryAndEveryShortcutToTheCurrentName) {
  InstallEarlierVersion(exe_);
  RunSilentUpgrade();

  EXPECT_EQ(UninstallValue(L"DisplayName"), kName);
  EXPECT_EQ(UninstallValue(L"NSIS:StartMenuDir"), kName);
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), KELVO_OWN_VERSION_TEXT);
  EXPECT_FALSE(FileExists(StartMenuGroup(kFormerName)));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\" + kName + L".lnk", exe_));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\卸载" + kName + L".lnk",
                                    folder_ + L"\\uninstall.exe"));
  EXPECT_TRUE(FileExists(MakersGroup() + L"\\Kelvo安全卫士.lnk")) << "the maker's other shortcuts went too";
  // The earlier desktop file under the new name: it already started the product.
  EXPECT_EQ(ShortcutNote(DesktopShortcut(kName)), kEarlierNote);
  EXPECT_FALSE(FileExists(QuickLaunchShortcut(kFormerName)));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe_));
  EXPECT_FALSE(FileExists(TaskbarPin()));
  EXPECT_FALSE(FileExists(FavouritesLink()));
  // The product learns of its new name when it starts.
  EXPECT_NE(WaitForLaunchLine(L"/renametip"), L"");
}

// Pointing into the earlier version's folder, it is pointed at the product.
TEST_F(FormerName, DesktopShortcutIntoAnotherFolderIsPointedAtTheProduct) {
  InstallEarlierVersion(L"C:\\Program Files\\Kelvo安全中心\\" + kFormerName + L"\\" + names::kMainExe);
  RunSilentUpgrade();
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe_));
}

}  // namespace
