// Whole installs by the real installer on a machine of their own (each test
// case gets a fresh Wine prefix): what is on the machine afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install/ProductNames.h"
#include "install/NamespaceFolder.h"
#include "install/RegistryNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"
#include "util/FolderOps.h"

namespace {

const std::wstring kOwnVersion = KELVO_OWN_VERSION_TEXT;

std::wstring MainExe(const std::wstring& folder) { return folder + L"\\" + product::kMainExe; }

TEST(SilentInstall, FreshMachineGetsTheProductRegisteredAndStarted) {
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.agreementShown) << "a fresh install asks for the agreement, even silent";
  EXPECT_TRUE(outcome.messageBoxTexts.empty());

  const std::wstring folder = DefaultInstallFolder();
  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), kOwnVersion);
  EXPECT_EQ(UninstallValue(L"DisplayName"), product::kName);
  EXPECT_EQ(UninstallValue(L"UninstallString").find(L"uninstall.exe") != std::wstring::npos, true);
  EXPECT_EQ(AppPathsDefault(), MainExe(folder));
  EXPECT_NE(WaitForLaunchLogLine(product::kMainExe), L"") << "the product was not started";
}

bool KeyExistsInView(HKEY root, const wchar_t* path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// The users' case: the 32-bit installer on 64-bit Windows, where the records
// land in the 32-bit registry view and "Program Files (x86)", and the shell
// gets all four DLLs, the 64-bit pair through the 64-bit regsvr32.
TEST(SilentInstall, On64BitWindowsRecordsGoToThe32BitViewAndAllFourShellDllsRegister) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  ASSERT_TRUE(wow64) << "the tests run a 32-bit program on a 64-bit (WoW64) machine";
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);

  const std::wstring folder = L"C:\\Program Files (x86)\\Kelvo\\Kelvopeltbox";
  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
  for (const wchar_t* path : {product::kUninstallKey, L"Software\\KelvoSafe\\Liveup"}) {
    EXPECT_TRUE(KeyExistsInView(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY)) << path;
    EXPECT_FALSE(KeyExistsInView(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY)) << path;
  }
  // App Paths is one key for both views (Wow6432Node links to it), so the
  // 64-bit shell finds the product too.
  EXPECT_TRUE(KeyExistsInView(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, KEY_WOW64_64KEY));
  EXPECT_TRUE(KeyExistsInView(HKEY_CURRENT_USER, namespace_folder::kUserClassKey, KEY_WOW64_64KEY));
  // Each stand-in DLL records its own registration; a 64-bit DLL runs only
  // in a 64-bit process.
  for (const wchar_t* dll : {L"KelvoEnterpriseShellExt64.dll", L"KelvoEnterpriseShellExt.dll",
                             L"KelvoCloudEnterpriseBar64.dll", L"KelvoCloudEnterpriseBar.dll"}) {
    std::wstring how;
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, L"Software\\KelvoStandIn\\Registered", dll, &how));
    EXPECT_EQ(how, L"DllRegisterServer") << dll;
  }
}

TEST(SilentInstall, FolderWithSpacesAndChineseCharactersGetsTheProductFolderName) {
  const std::wstring given = L"C:\\Apps\\我的 云盘\\Kelvo 同步";
  const std::wstring folder = given + L"\\Kelvopeltbox";
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0 /D=\"" + given + L"\"");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
  EXPECT_FALSE(FileExists(DefaultInstallFolder()));
  EXPECT_TRUE(ReadLaunchLog().empty()) << "/silentrun=0 starts nothing";
}

// A deployment tool's "/D=" names a folder of the user's: the product gets a
// folder of its own in it, and everything that was there stays as it was.
TEST(SilentInstall, ExistingFolderGivenWithDKeepsEverythingItHeld) {
  const std::wstring given = L"C:\\My Apps";
  ASSERT_TRUE(CreateFolderTree((given + L"\\config").c_str()));  // a folder name the payload has
  ASSERT_TRUE(WriteFileBytes(given + L"\\config\\settings.ini", "[mine]"));
  ASSERT_TRUE(WriteFileBytes(given + L"\\notes.txt", "mine"));
  std::vector<TreeEntry> before = ReadTree(given);
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0 /D=\"" + given + L"\"");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(given + L"\\Kelvopeltbox"));
  std::vector<TreeEntry> after = ReadTree(given);
  for (const TreeEntry& entry : before) {
    EXPECT_NE(std::find(after.begin(), after.end(), entry), after.end())
        << "lost or changed: " << ToUtf8(entry.path);
  }
}

TEST(SilentInstall, FolderOnAnotherDriveIsFilledAcrossDrives) {
  // The staging folder is on C:, so every file is copied across, not renamed.
  const std::wstring folder = L"D:\\同步 盘\\Kelvopeltbox";
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0 /D=\"" + folder + L"\"");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_EQ(AppPathsDefault(), MainExe(folder));
}

TEST(SilentInstall, DriveRootGivenWithDKeepsTheDefaultFolder) {
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0 /D=\"D:\\\"");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
}

class InstalledMachineTest : public ::testing::Test {
 protected:
  // A first silent install, with the product left running as it starts it.
  void SetUp() override {
    ASSERT_EQ(RunInstallerToEnd(L"/S").exitCode, 0u);
    ASSERT_NE(WaitForLaunchLogLine(product::kMainExe), L"");
  }
  // Makes the installed product read as another version (still signed).
  void StampInstalledVersion(const std::wstring& version) {
    EndProductProcesses();
    ASSERT_TRUE(StampFileVersion(MainExe(DefaultInstallFolder()), version));
  }
};

TEST_F(InstalledMachineTest, SameVersionIsOverwrittenWithoutTheAgreement) {
  std::string marker = "changed by the user";
  ASSERT_TRUE(WriteFileBytes(DefaultInstallFolder() + L"\\KelvoCloudIntro.xml", marker));
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_FALSE(outcome.agreementShown);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
  // Started again, this time as an autostart.
  EXPECT_NE(WaitForLaunchLogLine(L"/autostart"), L"");
}

TEST_F(InstalledMachineTest, RunningProductWithItsTrayWindowIsClosedAndStartedAgain) {
  ASSERT_EQ(RunningProductCount(), 1);
  EXPECT_EQ(RunInstallerToEnd(L"/S").exitCode, 0u);
  EXPECT_NE(WaitForLaunchLogLine(L"/autostart"), L"");
  EXPECT_EQ(RunningProductCount(), 1) << "the old copy must be gone, the new one running";
}

TEST_F(InstalledMachineTest, ProductThatIgnoresCloseIsTerminated) {
  EndProductProcesses();
  ScopedStandInFlag deaf(L"ignore-close", L"/e2e-deaf");
  InstallerRun product(L"/e2e-deaf", MainExe(DefaultInstallFolder()));
  ASSERT_TRUE(WaitUntil([] { return RunningProductCount() == 1; }));
  EXPECT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
  EXPECT_EQ(RunningProductCount(), 0);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
}

TEST_F(InstalledMachineTest, OlderVersionIsUpgraded) {
  StampInstalledVersion(L"1.0.0.9");
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_FALSE(outcome.agreementShown);
  EXPECT_EQ(ReadFileVersionText(MainExe(DefaultInstallFolder()).c_str()), kOwnVersion);
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), kOwnVersion);
}

TEST_F(InstalledMachineTest, NewerVersionIsRefusedSilentlyAndKept) {
  StampInstalledVersion(L"99.0.0.1");
  std::string before;
  ASSERT_TRUE(ReadFileBytes(MainExe(DefaultInstallFolder()), &before));
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_FALSE(outcome.agreementShown);
  EXPECT_TRUE(outcome.messageBoxTexts.empty());
  std::string after;
  ASSERT_TRUE(ReadFileBytes(MainExe(DefaultInstallFolder()), &after));
  EXPECT_TRUE(before == after) << "the newer product was touched";
}

TEST_F(InstalledMachineTest, NewerVersionIsRefusedWithAMessageWhenInteractive) {
  StampInstalledVersion(L"99.0.0.1");
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"");
  EXPECT_EQ(outcome.exitCode, 0u);
  ASSERT_EQ(outcome.messageBoxTexts.size(), 1u);
  EXPECT_EQ(outcome.messageBoxTexts[0],
            L"您要安装的版本比已经安装的版本低，覆盖安装将造成无法使用。\n请您到官方网站下载最新版。");
  EXPECT_EQ(ReadFileVersionText(MainExe(DefaultInstallFolder()).c_str()), L"99.0.0.1");
}

TEST(SecondInstance, StartedFromTheSameFileEndsAtOnceAndTheFirstGoesOn) {
  InstallerRun first(L"");
  ASSERT_TRUE(first.WaitForWindowWith(kLicenceLink));
  InstallerRun second(L"");
  EXPECT_EQ(second.WaitForExit(30000), 0u);
  EXPECT_EQ(first.WaitForExit(500), static_cast<DWORD>(STILL_ACTIVE));
}

TEST(HeldScanMutex, SilentInstallShowsNoNoticeAndFinishes) {
  HANDLE scan = ::CreateMutexW(nullptr, TRUE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  ::CloseHandle(scan);
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.messageBoxTexts.empty());
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
}

TEST(InteractiveInstall, AgreementThenInstallButtonThenClosedWithCode0) {
  InstallerRun run(L"");
  HWND window = AcceptAgreementAndWaitUntilReady(run);
  ASSERT_TRUE(window);
  ClickControl(window, kInstallButton);
  EXPECT_EQ(run.WaitForExit(180000), 0u);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
  EXPECT_NE(WaitForLaunchLogLine(product::kMainExe), L"");
}

}  // namespace
