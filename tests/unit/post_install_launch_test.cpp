// Starting the product after the install, as its launch log shows it: the
// switches of each edge case, the Run value, the per-user mode, the intro
// flag after an upgrade, and the shell restart the product is asked for.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "util/TokenRights.h"
#include "util/ElevationFlags.h"
#include "app/InstallApp.h"
#include "install/SetupContext.h"
#include "install/PostInstallLaunch.h"
#include "install/ProcessList.h"
#include "install/ShellRestart.h"
#include "install/StartProcess.h"
#include "install/StopProduct.h"
#include "support/InstallerResources.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Kelvocloudenterprisebox";

BOOL WINAPI PlainToken(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 0;
  *returned = sizeof(DWORD);
  return TRUE;
}

void ResetOptions() { GreenMode = FALSE; }

void SetPid(InstallOptions& options, const wchar_t* pid) { lstrcpynW(options.pid, pid, 260); }

// The switches alone, without starting anything.
class LaunchRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptions();
    context_.productExe = L"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe";
  }
  void TearDown() override { ResetOptions(); }
  LaunchRequest Build() { return BuildLaunchRequest(context_, context_.options); }
  SetupContext context_;
};

TEST_F(LaunchRequestTest, InteractiveUpgradeFromTheFormerNameWithAnOutdatedToolbar) {
  context_.installMode = kUpgrade;
  context_.formerNameInstalled = TRUE;
  context_.shellExtOutdated = TRUE;
  LaunchRequest request = Build();
  EXPECT_TRUE(request.launch);
  EXPECT_EQ(request.command,
            L"\"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe\" /updatepro /protype=2 /renametip");
  EXPECT_EQ(request.file, L"\"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe\"");
  EXPECT_EQ(request.arguments, L"/renametip");
  EXPECT_FALSE(request.writeRun);
}

TEST_F(LaunchRequestTest, SilentUpgradeStartsAsAtLogOn) {
  context_.options.silent = TRUE;
  context_.installMode = kUpgrade;
  LaunchRequest request = Build();
  EXPECT_TRUE(request.launch);
  EXPECT_EQ(request.command, L"\"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe\" /autostart");
  EXPECT_EQ(request.arguments, L" /autostart");
}

TEST_F(LaunchRequestTest, SilentOverwriteWithOutdatedToolbarCarriesBothSwitches) {
  context_.options.silent = TRUE;
  context_.installMode = kOverwrite;
  context_.shellExtOutdated = TRUE;
  LaunchRequest request = Build();
  EXPECT_EQ(request.command,
            L"\"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe\" /updatepro /protype=2 /autostart");
  EXPECT_EQ(request.arguments, L"/updatepro /protype=2 /autostart");
}

TEST_F(LaunchRequestTest, SilentRunOffStartsNothingButFromUiStillWritesRun) {
  context_.options.silent = TRUE;
  context_.options.silentRun = FALSE;
  SetPid(context_.options, L"FromUI");
  LaunchRequest request = Build();
  EXPECT_FALSE(request.launch);
  EXPECT_TRUE(request.writeRun);
  SetPid(context_.options, L"fromui2");
  EXPECT_FALSE(Build().writeRun);
}

TEST_F(LaunchRequestTest, InteractiveChoicesDecideLaunchAndRun) {
  context_.launchAfterInstall = FALSE;
  context_.autoStart = TRUE;
  LaunchRequest request = Build();
  EXPECT_FALSE(request.launch);
  EXPECT_TRUE(request.writeRun);
  context_.launchAfterInstall = TRUE;
  context_.autoStart = FALSE;
  request = Build();
  EXPECT_TRUE(request.launch);
  EXPECT_EQ(request.command, L"\"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe\"");
  EXPECT_EQ(request.arguments, L"");
  EXPECT_FALSE(request.writeRun);
}

// The real start of the product stand-in, installed in a folder of our own.
class PostInstallLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptions();
    EndProductProcesses();
    ASSERT_TRUE(MakeInstalledCopy(install_.path(), L"2.0.0.1130",
                                  {L"KelvoCloudEnterpriseSync.exe"}));
    context_.installDir = install_.path();
    context_.productExe = install_.Join(L"KelvoCloudEnterpriseSync.exe");
    // A standard user's token: the direct start, whose command line the
    // product sees as built.
    Seam().GetTokenInformation = PlainToken;
  }
  void TearDown() override {
    ResetSystemSeam();
    ResetOptions();
    EndProductProcesses();
  }
  std::wstring Quoted() const { return L"\"" + context_.productExe + L"\""; }
  std::wstring LaunchLine() { return WaitForLaunchLogLine(install_.path()); }

  ProductProcessesTurn turn_;
  ScopedTempDir install_;
  SetupContext context_;
};

TEST_F(PostInstallLaunchTest, InteractiveUpgradeFromTheFormerNameWithAnOutdatedToolbar) {
  context_.installMode = kUpgrade;
  context_.formerNameInstalled = TRUE;
  context_.shellExtOutdated = TRUE;
  context_.PostInstallLaunch();
  EXPECT_EQ(LaunchLine(), Quoted() + L" /updatepro /protype=2 /renametip");
}

TEST_F(PostInstallLaunchTest, SilentUpgradeWithSilentRunStartsWithAutostart) {
  context_.options.silent = TRUE;
  context_.installMode = kUpgrade;
  context_.PostInstallLaunch();
  EXPECT_EQ(LaunchLine(), Quoted() + L" /autostart");
}

TEST_F(PostInstallLaunchTest, SilentRunOffStartsNothingWhileFromUiWritesTheRunValue) {
  RegistrySandbox sandbox;
  context_.options.silent = TRUE;
  context_.options.silentRun = FALSE;
  SetPid(context_.options, L"fromui");
  context_.PostInstallLaunch();
  // A started product would be in the process list by now.
  EXPECT_FALSE(IsProductRunning());
  EXPECT_TRUE(LaunchLogLinesWith(install_.path()).empty());

  HKEY run = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &run), ERROR_SUCCESS);
  wchar_t data[600] = {};
  DWORD type = 0;
  DWORD size = sizeof(data);
  ASSERT_EQ(::RegQueryValueExW(run, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data),
                               &size),
            ERROR_SUCCESS);
  ::RegCloseKey(run);
  std::wstring expected = Quoted() + L" /autostart";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // Written without its terminator; Wine adds one when it stores a string.
  std::wstring stored(data, size / sizeof(wchar_t));
  if (!stored.empty() && stored.back() == L'\0') stored.pop_back();
  EXPECT_EQ(stored, expected);
}

TEST_F(PostInstallLaunchTest, GreenModeStartsTheProductWithoutSwitches) {
  GreenMode = TRUE;
  context_.formerNameInstalled = TRUE;
  context_.shellExtOutdated = TRUE;
  context_.PostInstallLaunch();
  std::wstring line = LaunchLine();
  ASSERT_FALSE(line.empty());
  size_t exe = line.find(L"KelvoCloudEnterpriseSync.exe");
  ASSERT_NE(exe, std::wstring::npos);
  EXPECT_EQ(line.find(L'/', exe), std::wstring::npos) << "switches in " << line.size();
}

TEST_F(PostInstallLaunchTest, ElevatedInstallerWithoutTheShellsTokenStartsNothing) {
  // Wine's token is elevated and this prefix runs no desktop shell: there is
  // no user token to start the product with, and it must not get ours.
  ResetSystemSeam();
  ASSERT_TRUE(IsElevated());
  ASSERT_EQ(::GetShellWindow(), nullptr);
  context_.PostInstallLaunch();
  EXPECT_FALSE(StartProcess(Quoted().c_str()));
  EXPECT_FALSE(IsProductRunning());
  EXPECT_TRUE(LaunchLogLinesWith(install_.path()).empty());
}

TEST_F(PostInstallLaunchTest, NoLaunchChoiceStartsNothing) {
  context_.launchAfterInstall = FALSE;
  context_.PostInstallLaunch();
  EXPECT_FALSE(IsProductRunning());
}

// The product's settings file in the real application-data folder.
class IntroFlagTest : public PostInstallLaunchTest {
 protected:
  void SetUp() override {
    PostInstallLaunchTest::SetUp();
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    folder_ = std::wstring(appData) + L"\\KelvoCloudEnterpriseBox";
    settings_ = folder_ + L"\\uiconfig.ini";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(settings_, "[setting]\r\nShowIntro=0\r\n"));
    ASSERT_TRUE(WriteFileBytes(install_.Join(L"KelvoCloudIntro.ui"), "12345"));
    ASSERT_TRUE(WriteFileBytes(install_.Join(L"KelvoCloudIntro.xml"), "123"));
    context_.launchAfterInstall = FALSE;
  }
  void TearDown() override {
    ::DeleteFileW(settings_.c_str());
    PostInstallLaunchTest::TearDown();
  }
  std::wstring ShowIntro() {
    wchar_t value[16] = {};
    ::GetPrivateProfileStringW(L"setting", L"ShowIntro", L"", value, 16, settings_.c_str());
    return value;
  }
  std::wstring folder_, settings_;
};

TEST_F(IntroFlagTest, UpgradeWithNewIntroFilesShowsTheIntroAgain) {
  context_.installMode = kUpgrade;
  context_.introSnapshotTaken = TRUE;
  context_.introUiSize = -1;  // missing before the upgrade
  context_.introXmlSize = 3;
  context_.PostInstallLaunch();
  EXPECT_EQ(ShowIntro(), L"1");
}

TEST_F(IntroFlagTest, UnchangedSizesOrNoSnapshotLeaveTheFlag) {
  context_.installMode = kUpgrade;
  context_.introSnapshotTaken = TRUE;
  context_.introUiSize = 5;
  context_.introXmlSize = 3;
  context_.PostInstallLaunch();
  EXPECT_EQ(ShowIntro(), L"0");

  context_.installMode = kFreshInstall;
  context_.introSnapshotTaken = FALSE;
  context_.introUiSize = 0;
  context_.introXmlSize = 0;
  context_.PostInstallLaunch();
  EXPECT_EQ(ShowIntro(), L"0");
}

// The shell restart: decided by the extension's mutex and the hand-over file.
class ShellRestartTest : public PostInstallLaunchTest {
 protected:
  void SetUp() override {
    PostInstallLaunchTest::SetUp();
    extensionTurn_ = ::CreateMutexW(nullptr, FALSE, L"Local\\KelvoTestsShellExtensionMutex");
    ::WaitForSingleObject(extensionTurn_, 110000);
    temp_ = std::make_unique<ScopedTempPathOverride>(tempRoot_.path() + L"\\");
    handOver_ = tempRoot_.Join(L"55d7fdfb.ini");
  }
  void TearDown() override {
    if (extensionMutex_) ::CloseHandle(extensionMutex_);
    temp_.reset();
    ::ReleaseMutex(extensionTurn_);
    ::CloseHandle(extensionTurn_);
    PostInstallLaunchTest::TearDown();
  }
  // Plays the loaded shell extension.
  void HoldExtensionMutex() {
    extensionMutex_ = ::CreateMutexW(nullptr, FALSE, L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}");
  }
  void HandOver(const std::wstring& folder) {
    ASSERT_TRUE(::WritePrivateProfileStringW(L"main", L"instpath", folder.c_str(),
                                             handOver_.c_str()));
  }

  HANDLE extensionTurn_ = nullptr;
  HANDLE extensionMutex_ = nullptr;
  ScopedTempDir tempRoot_;
  std::unique_ptr<ScopedTempPathOverride> temp_;
  std::wstring handOver_;
};

TEST_F(ShellRestartTest, RestartOnlyWhileTheExtensionHoldsItsMutex) {
  EXPECT_FALSE(ShouldRestartExplorer(context_));
  HoldExtensionMutex();
  EXPECT_TRUE(ShouldRestartExplorer(context_));
}

TEST_F(ShellRestartTest, HandOverNamingThisFolderMeansTheShellWasRestartedAlready) {
  HoldExtensionMutex();
  std::wstring upper = context_.installDir;
  for (wchar_t& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
  HandOver(upper);
  EXPECT_FALSE(ShouldRestartExplorer(context_));
  EXPECT_FALSE(FileExists(handOver_));

  HandOver(L"C:\\Elsewhere");
  EXPECT_TRUE(ShouldRestartExplorer(context_));
  EXPECT_FALSE(FileExists(handOver_));
}

TEST_F(ShellRestartTest, OutdatedToolbarNeedsTheOldExtensionCleared) {
  HoldExtensionMutex();
  context_.installMode = kUpgrade;
  context_.shellExtOutdated = TRUE;
  context_.shellExtCleared = FALSE;
  EXPECT_FALSE(ShouldRestartExplorer(context_));
  context_.shellExtCleared = TRUE;
  EXPECT_TRUE(ShouldRestartExplorer(context_));
}

TEST_F(ShellRestartTest, SilentUpdateNeverRestartsTheShell) {
  HoldExtensionMutex();
  context_.options.silent = TRUE;
  for (INT32 mode : {kUpgrade, kOverwrite}) {
    context_.installMode = mode;
    EXPECT_FALSE(ShouldRestartExplorer(context_));
  }
  context_.installMode = kFreshInstall;
  EXPECT_TRUE(ShouldRestartExplorer(context_));
}

TEST_F(ShellRestartTest, ProductIsAskedToRestartTheShell) {
  HoldExtensionMutex();
  context_.RefreshShellStep();
  // Run and waited for: the line is there on return.
  std::vector<std::wstring> lines = LaunchLogLinesWith(install_.path());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Quoted() + L" /explorer");
}

TEST_F(ShellRestartTest, NoRestartAsksNothing) {
  context_.RefreshShellStep();
  EXPECT_TRUE(LaunchLogLinesWith(install_.path()).empty());
}

}  // namespace
