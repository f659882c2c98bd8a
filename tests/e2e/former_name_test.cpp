// A machine where an earlier version is installed and registered under the
// product's former name "Kelvo安全云盘同步版", with the shortcuts it made
// under that name: what a whole install (each test case on a machine of its
// own) does to each of them and to the uninstall entry.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "install/ProductNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerWindows.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "util/WindowsVersion.h"

namespace {

const std::wstring kName = product::kName;
const std::wstring kFormerName = product::kFormerName;
// A comment only the earlier version's desktop shortcut carries, to tell
// that file from one the install writes.
const std::wstring kEarlierNote = L"早期版本的桌面快捷方式";
// Another product of the maker, with its shortcut in the maker's group.
const std::wstring kSuite = L"C:\\Program Files\\Kelvo\\Kelvosafe\\Kelvosafe.exe";

std::wstring MakersGroup() { return ShellFolder(CSIDL_PROGRAMS) + L"\\Kelvo安全中心"; }
std::wstring QuickLaunchFolder() {
  return ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
}
std::wstring FormerTaskbarPin() {
  return QuickLaunchFolder() + L"\\User Pinned\\TaskBar\\" + kFormerName + L".lnk";
}
std::wstring FormerFavouritesLink() {
  return ShellFolder(CSIDL_PROFILE) + L"\\links\\" + kFormerName + L".lnk";
}

bool MakeFolders(const std::wstring& folder) {
  int result = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

// The installer declares every system up to Windows 10 in its manifest, so
// it sees at least the version this test program is told.
bool InstallerSeesWindows7OrLater() {
  const OSVERSIONINFOEXW& v = WindowsVersion();
  return v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 1);
}

class FormerNameMachine : public ::testing::Test {
 protected:
  // The earlier version in the default folder, registered under
  // displayName, with the shortcuts of the former name pointing at desktopTarget
  // from the desktop and at the product from everywhere else.
  void InstallEarlierVersion(const std::wstring& version,
                             const std::wstring& displayName = product::kFormerName,
                             const std::wstring& desktopTarget = std::wstring()) {
    folder_ = DefaultInstallFolder();
    exe_ = folder_ + L"\\" + product::kMainExe;
    ASSERT_TRUE(MakeInstalledCopy(folder_, version, {product::kMainExe, L"uninstall.exe"}));
    const wchar_t* key = product::kUninstallKey;
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", folder_));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, key, L"DisplayName", displayName));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, key, L"NSIS:StartMenuDir", displayName));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, key, L"DisplayVersion", version));
    ASSERT_TRUE(
        WriteRegString(HKEY_LOCAL_MACHINE, key, L"UninstallString", folder_ + L"\\uninstall.exe"));

    ASSERT_TRUE(MakeFolders(StartMenuGroup(kFormerName)));
    ASSERT_TRUE(WriteShortcut(FormerGroupLink(kFormerName), exe_));
    ASSERT_TRUE(WriteShortcut(FormerGroupLink(L"卸载" + kFormerName), folder_ + L"\\uninstall.exe"));
    ASSERT_TRUE(WriteShortcut(MakersGroup() + L"\\Kelvo安全卫士.lnk", kSuite));
    ASSERT_TRUE(WriteShortcut(DesktopShortcut(kFormerName),
                              desktopTarget.empty() ? exe_ : desktopTarget, kEarlierNote));
    ASSERT_TRUE(MakeFolders(QuickLaunchFolder() + L"\\User Pinned\\TaskBar"));
    ASSERT_TRUE(WriteShortcut(QuickLaunchShortcut(kFormerName), exe_));
    ASSERT_TRUE(WriteShortcut(FormerTaskbarPin(), exe_));
    ASSERT_TRUE(MakeFolders(ShellFolder(CSIDL_PROFILE) + L"\\links"));
    ASSERT_TRUE(WriteShortcut(FormerFavouritesLink(), exe_));
  }

  std::wstring FormerGroupLink(const std::wstring& name) {
    return StartMenuGroup(kFormerName) + L"\\" + name + L".lnk";
  }
  std::wstring GroupLink(const std::wstring& name) {
    return StartMenuGroup(kName) + L"\\" + name + L".lnk";
  }

  void RunSilentInstall(const std::wstring& arguments = L"/S /silentrun=0") {
    InstallerRun::Outcome outcome = RunInstallerToEnd(arguments);
    ASSERT_EQ(outcome.exitCode, 0u);
    EXPECT_FALSE(outcome.agreementShown) << "the earlier version was not recognised";
    EXPECT_TRUE(outcome.messageBoxTexts.empty());
  }

  void ExpectNewGroupInPlaceOfTheFormerOne() {
    EXPECT_FALSE(FileExists(StartMenuGroup(kFormerName)));
    EXPECT_TRUE(IsInstallerShortcutTo(GroupLink(kName), exe_));
    EXPECT_TRUE(IsInstallerShortcutTo(GroupLink(L"卸载" + kName), folder_ + L"\\uninstall.exe"));
    EXPECT_TRUE(FileExists(MakersGroup() + L"\\Kelvo安全卫士.lnk"))
        << "the maker's other shortcuts go too";
  }

  void ExpectFavouritesLinkGone() {
    if (InstallerSeesWindows7OrLater()) {
      EXPECT_FALSE(FileExists(FormerFavouritesLink()));
    } else {
      EXPECT_TRUE(FileExists(FormerFavouritesLink())) << "kept before Windows 7";
    }
  }

  std::wstring folder_;
  std::wstring exe_;
};

TEST_F(FormerNameMachine, SilentUpgradeMovesEveryShortcutToTheCurrentName) {
  InstallEarlierVersion(L"2.0.0.1000");
  RunSilentInstall(L"/S");

  EXPECT_EQ(UninstallValue(L"DisplayName"), kName);
  EXPECT_EQ(UninstallValue(L"NSIS:StartMenuDir"), kName);
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), KELVO_OWN_VERSION_TEXT);
  ExpectNewGroupInPlaceOfTheFormerOne();

  // The desktop shortcut is the earlier file under the new name: it already
  // started the product, so it was not written again.
  EXPECT_FALSE(FileExists(DesktopShortcut(kFormerName)));
  ShortcutContents desktop = ReadShortcut(DesktopShortcut(kName));
  EXPECT_EQ(lstrcmpiW(desktop.target.c_str(), exe_.c_str()), 0) << desktop.target;
  EXPECT_EQ(desktop.description, kEarlierNote);

  EXPECT_FALSE(FileExists(QuickLaunchShortcut(kFormerName)));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe_));
  if (InstallerSeesWindows7OrLater()) {
    EXPECT_FALSE(FileExists(FormerTaskbarPin()));
  }
  ExpectFavouritesLinkGone();

  // The product learns of its new name when it starts.
  EXPECT_NE(WaitForLaunchLogLine(L"/renametip"), L"");
}

TEST_F(FormerNameMachine, FormerDesktopShortcutToAnotherFolderIsPointedAtTheProduct) {
  InstallEarlierVersion(L"2.0.0.1000", kFormerName,
                        L"C:\\Program Files\\Kelvo安全中心\\Kelvo安全云盘同步版\\" +
                            std::wstring(product::kMainExe));
  RunSilentInstall();
  EXPECT_FALSE(FileExists(DesktopShortcut(kFormerName)));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe_));
}

TEST_F(FormerNameMachine, OverwriteOfTheSameVersionLeavesQuickLaunchAlone) {
  InstallEarlierVersion(KELVO_OWN_VERSION_TEXT);
  RunSilentInstall();

  EXPECT_EQ(UninstallValue(L"DisplayName"), kName);
  ExpectNewGroupInPlaceOfTheFormerOne();
  EXPECT_FALSE(FileExists(DesktopShortcut(kFormerName)));
  EXPECT_EQ(ReadShortcut(DesktopShortcut(kName)).description, kEarlierNote);
  // Quick Launch and its pins are an upgrade's business.
  EXPECT_TRUE(FileExists(QuickLaunchShortcut(kFormerName)));
  EXPECT_FALSE(FileExists(QuickLaunchShortcut(kName)));
  EXPECT_TRUE(FileExists(FormerTaskbarPin()));
  ExpectFavouritesLinkGone();
}

// Only the uninstall entry's name tells an installation of the former name;
// shortcuts of that name beside one registered under the current name stay,
// but for the favourites-bar link, which goes at every install.
TEST_F(FormerNameMachine, FormerShortcutsStayWhenTheEntryCarriesTheCurrentName) {
  InstallEarlierVersion(L"2.0.0.1125", kName);
  RunSilentInstall();

  EXPECT_TRUE(FileExists(FormerGroupLink(kFormerName)));
  EXPECT_FALSE(FileExists(GroupLink(kName)));
  EXPECT_EQ(ReadShortcut(DesktopShortcut(kFormerName)).description, kEarlierNote);
  EXPECT_FALSE(FileExists(DesktopShortcut(kName)));
  EXPECT_TRUE(FileExists(QuickLaunchShortcut(kFormerName)));
  ExpectFavouritesLinkGone();
}

}  // namespace
