// The shortcuts a whole install leaves for the user (each test case on a
// machine of its own), read back through the shell's link object: the
// Start-menu group, the desktop and Quick Launch, after a fresh install, an
// overwrite and upgrades from either side of the version that changed them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/ProductNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/ProductCopies.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"

namespace {

const std::wstring kName = product::kName;
// What the user wrote into a shortcut's comment; the installer never writes
// one, so a shortcut that still has it was left alone.
const std::wstring kUserNote = L"我的同步盘";

std::wstring ProductShortcut() { return StartMenuGroup(kName) + L"\\" + kName + L".lnk"; }
std::wstring UninstallShortcut() { return StartMenuGroup(kName) + L"\\卸载" + kName + L".lnk"; }
std::wstring MainExe(const std::wstring& folder) { return folder + L"\\" + product::kMainExe; }
std::wstring Uninstaller(const std::wstring& folder) { return folder + L"\\uninstall.exe"; }

std::wstring NoteOf(const std::wstring& link) { return ReadShortcut(link).description; }

// Every shortcut of a fresh install, pointing into folder.
void ExpectFreshInstallShortcuts(const std::wstring& folder) {
  EXPECT_EQ(ListFolder(StartMenuGroup(kName)),
            (std::vector<std::wstring>{kName + L".lnk", L"卸载" + kName + L".lnk"}));
  EXPECT_TRUE(IsInstallerShortcutTo(ProductShortcut(), MainExe(folder)));
  EXPECT_TRUE(IsInstallerShortcutTo(UninstallShortcut(), Uninstaller(folder)));
  EXPECT_TRUE(FileExists(Uninstaller(folder))) << "the uninstall shortcut leads nowhere";
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), MainExe(folder)));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), MainExe(folder)));
  // Nothing under the product's former name.
  EXPECT_FALSE(FileExists(DesktopShortcut(product::kFormerName)));
  EXPECT_FALSE(FileExists(QuickLaunchShortcut(product::kFormerName)));
}

TEST(FreshInstallShortcuts, SilentInstallCreatesTheGroupTheDesktopAndQuickLaunchShortcuts) {
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  ASSERT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.messageBoxTexts.empty());
  ExpectFreshInstallShortcuts(DefaultInstallFolder());
}

// Wine's shell links give their target back through the ANSI code page
// (Latin-1 on these machines): a folder named in Chinese would read back as
// "??", so this one is not.
TEST(FreshInstallShortcuts, InteractiveInstallIntoAnotherFolderPointsThemThere) {
  const std::wstring folder = L"D:\\Sync Apps\\Kelvopeltbox";
  InstallerRun run(L"");
  HWND window = AcceptAgreementAndWaitUntilReady(run);
  ASSERT_TRUE(window);
  ASSERT_TRUE(TypeInstallFolder(window, folder));
  ASSERT_TRUE(WaitUntil([&] { return ControlEnabled(window, kInstallButton); }));
  ClickControl(window, kInstallButton);
  ASSERT_EQ(run.WaitForExit(180000), 0u);
  ASSERT_TRUE(HoldsThePayload(folder));
  ExpectFreshInstallShortcuts(folder);
}

// A desktop shortcut of the user's own that already starts the product is
// the one the install would write: it stays as it is.
TEST(FreshInstallShortcuts, DesktopShortcutAlreadyStartingTheProductIsKept) {
  const std::wstring exe = MainExe(DefaultInstallFolder());
  ASSERT_TRUE(WriteShortcut(DesktopShortcut(kName), exe, kUserNote));
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
  EXPECT_EQ(NoteOf(DesktopShortcut(kName)), kUserNote);
  EXPECT_TRUE(IsInstallerShortcutTo(ProductShortcut(), exe));
}

class InstalledShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
    folder_ = DefaultInstallFolder();
    exe_ = MainExe(folder_);
  }
  // The shortcuts as the user has arranged them since: the product, desktop
  // and Quick Launch shortcuts annotated, the uninstall shortcut deleted.
  void ArrangeShortcutsAsTheUser() {
    for (const std::wstring& link : {ProductShortcut(), DesktopShortcut(kName),
                                     QuickLaunchShortcut(kName)}) {
      ASSERT_TRUE(WriteShortcut(link, exe_, kUserNote));
    }
    ASSERT_TRUE(::DeleteFileW(UninstallShortcut().c_str()));
  }
  void ExpectShortcutsAsTheUserLeftThem() {
    EXPECT_EQ(NoteOf(ProductShortcut()), kUserNote);
    EXPECT_EQ(NoteOf(DesktopShortcut(kName)), kUserNote);
    EXPECT_EQ(NoteOf(QuickLaunchShortcut(kName)), kUserNote);
    EXPECT_FALSE(FileExists(UninstallShortcut())) << "a deleted shortcut came back";
  }

  std::wstring folder_;
  std::wstring exe_;
};

TEST_F(InstalledShortcutsTest, OverwriteOfTheSameVersionChangesNoShortcut) {
  ArrangeShortcutsAsTheUser();
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  ASSERT_EQ(outcome.exitCode, 0u);
  EXPECT_FALSE(outcome.agreementShown) << "not taken for an overwrite";
  ExpectShortcutsAsTheUserLeftThem();
}

TEST_F(InstalledShortcutsTest, OverwriteRecreatesNoDeletedShortcut) {
  for (const std::wstring& link :
       {ProductShortcut(), UninstallShortcut(), DesktopShortcut(kName), QuickLaunchShortcut(kName)}) {
    ASSERT_TRUE(::DeleteFileW(link.c_str()));
  }
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
  EXPECT_TRUE(ListFolder(StartMenuGroup(kName)).empty());
  EXPECT_FALSE(FileExists(DesktopShortcut(kName)));
  EXPECT_FALSE(FileExists(QuickLaunchShortcut(kName)));
}

TEST_F(InstalledShortcutsTest, SilentUpgradeFromBeforeTheNewLayoutRecreatesThem) {
  ArrangeShortcutsAsTheUser();
  ASSERT_TRUE(StampFileVersion(exe_, L"2.0.0.1124"));
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  ASSERT_EQ(outcome.exitCode, 0u);
  ASSERT_EQ(ReadFileVersionText(exe_.c_str()), KELVO_OWN_VERSION_TEXT) << "not upgraded";
  EXPECT_TRUE(IsInstallerShortcutTo(ProductShortcut(), exe_));
  EXPECT_TRUE(IsInstallerShortcutTo(UninstallShortcut(), Uninstaller(folder_)));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe_));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe_));
}

TEST_F(InstalledShortcutsTest, InteractiveUpgradeFromTheNewLayoutOnLeavesThem) {
  ArrangeShortcutsAsTheUser();
  ASSERT_TRUE(StampFileVersion(exe_, L"2.0.0.1125"));
  InstallerRun run(L"");
  HWND window = run.WaitForWindowWith(kInstallButton);
  ASSERT_TRUE(window);
  ASSERT_TRUE(WaitForText(window, kInstallButton, L"立即升级")) << "not taken for an upgrade";
  ClickControl(window, kInstallButton);
  ASSERT_EQ(run.WaitForExit(180000), 0u);
  ASSERT_EQ(ReadFileVersionText(exe_.c_str()), KELVO_OWN_VERSION_TEXT) << "not upgraded";
  ExpectShortcutsAsTheUserLeftThem();
}

}  // namespace
