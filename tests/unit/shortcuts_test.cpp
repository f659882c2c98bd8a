// Shortcuts of a fresh install, an upgrade and an overwrite, read back from the
// .lnk files. Every special folder is a private temporary folder of the test;
// the shell's change notices and pin verbs go to recorders.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/InstallApp.h"
#include "install/ProductNames.h"
#include "install/ShellLink.h"
#include "install/ShellVerbs.h"
#include "support/InstallerResources.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

namespace {

struct ShellCall {
  std::wstring verb;
  std::wstring file;
};
std::vector<LONG> g_notices;
std::vector<ShellCall> g_shellCalls;

void WINAPI RecordNotice(LONG eventId, UINT, LPCVOID, LPCVOID) { g_notices.push_back(eventId); }

HINSTANCE WINAPI RecordShellExecute(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  g_shellCalls.push_back({verb ? verb : L"", file ? file : L""});
  return reinterpret_cast<HINSTANCE>(42);
}

int AssociationNotices() {
  int count = 0;
  for (LONG id : g_notices) count += id == SHCNE_ASSOCCHANGED;
  return count;
}

std::wstring TargetOf(const std::wstring& link) { return ReadShortcut(link).target; }

std::wstring WorkingFolderOf(const std::wstring& link) { return ReadShortcut(link).workingFolder; }

bool MakeFolders(const std::wstring& path) {
  return SHCreateDirectoryExW(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS;
}

bool Windows7OrLater() {
  const OSVERSIONINFOEXW& v = WindowsVersion();
  return v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion != 0);
}

class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitialize(nullptr);
    g_notices.clear();
    g_shellCalls.clear();
    Seam().SHChangeNotify = &RecordNotice;
    Seam().ShellExecuteW = &RecordShellExecute;
    c_.options.silent = FALSE;

    c_.productName = product::kName;
    c_.installDir = dir_.Join(L"Kelvopeltbox");
    c_.productExe = c_.installDir + L"\\KelvoCloudEnterpriseSync.exe";
    c_.startMenuDir = dir_.Join(L"Programs\\Kelvo安全中心\\KelvoAI云盘同步版");
    c_.desktopDir = dir_.Join(L"Desktop");
    c_.appDataDir = dir_.Join(L"AppData");
    for (const wchar_t* folder :
         {L"Kelvopeltbox", L"Desktop", L"AppData", L"AppData\\Microsoft",
          L"AppData\\Microsoft\\Internet Explorer",
          L"AppData\\Microsoft\\Internet Explorer\\Quick Launch"}) {
      CreateDirectoryW(dir_.Join(folder).c_str(), nullptr);
    }
    WriteFileBytes(c_.productExe, "product");
    WriteFileBytes(c_.installDir + L"\\uninstall.exe", "uninstaller");
    oldExe_ = dir_.Join(L"Old\\KelvoCloudEnterpriseSync.exe");
  }
  void TearDown() override {
    ResetSystemSeam();
    c_.options.silent = FALSE;
    ::CoUninitialize();
  }

  std::wstring StartMenuLink() { return c_.startMenuDir + L"\\KelvoAI云盘同步版.lnk"; }
  std::wstring UninstallLink() { return c_.startMenuDir + L"\\卸载KelvoAI云盘同步版.lnk"; }
  std::wstring DesktopLink() { return c_.desktopDir + L"\\KelvoAI云盘同步版.lnk"; }
  std::wstring FormerDesktopLink() { return c_.desktopDir + L"\\Kelvo安全云盘同步版.lnk"; }
  std::wstring QuickLaunch(const wchar_t* name) {
    return c_.appDataDir + L"\\Microsoft\\Internet Explorer\\Quick Launch\\" + name + L".lnk";
  }
  void Upgrade(const wchar_t* from) {
    c_.installMode = kUpgrade;
    c_.previousVersion = from;
  }
  // Shortcuts an earlier version left, pointing at its old executable.
  void EarlierShortcuts() {
    ASSERT_TRUE(CreateDirectoryW(dir_.Join(L"Programs").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir_.Join(L"Programs\\Kelvo安全中心").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(c_.startMenuDir.c_str(), nullptr));
    ASSERT_TRUE(CreateLink(oldExe_.c_str(), StartMenuLink().c_str(), nullptr));
    ASSERT_TRUE(CreateLink(oldExe_.c_str(), DesktopLink().c_str(), nullptr));
  }

  ScopedTempDir dir_;
  SetupContext c_;
  std::wstring oldExe_;
};

TEST_F(ShortcutsTest, FreshInstallCreatesTheGroupTheDesktopLinkAndQuickLaunch) {
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(StartMenuLink()), c_.productExe);
  EXPECT_EQ(TargetOf(UninstallLink()), c_.installDir + L"\\uninstall.exe");
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
  EXPECT_EQ(TargetOf(QuickLaunch(L"KelvoAI云盘同步版")), c_.productExe);
  EXPECT_EQ(ListFolder(c_.startMenuDir).size(), 2u);
  EXPECT_EQ(lstrcmpiW(WorkingFolderOf(DesktopLink()).c_str(), c_.installDir.c_str()), 0);
  EXPECT_GE(AssociationNotices(), 1);
}

TEST_F(ShortcutsTest, DesktopLinkAlreadyPointingAtTheProductIsKept) {
  std::wstring sameInOtherCase = c_.installDir + L"\\KELVOCLOUDENTERPRISESYNC.EXE";
  ASSERT_TRUE(CreateLink(sameInOtherCase.c_str(), DesktopLink().c_str(), nullptr));
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(DesktopLink()), sameInOtherCase);
  EXPECT_EQ(TargetOf(StartMenuLink()), c_.productExe);
}

TEST_F(ShortcutsTest, DesktopLinkPointingElsewhereIsRewritten) {
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), DesktopLink().c_str(), nullptr));
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
}

TEST_F(ShortcutsTest, SilentInstallSendsNoAssociationNotice) {
  c_.options.silent = TRUE;
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
  EXPECT_EQ(TargetOf(QuickLaunch(L"KelvoAI云盘同步版")), c_.productExe);
  EXPECT_EQ(AssociationNotices(), 0);
}

TEST_F(ShortcutsTest, OverwriteUnderTheCurrentNameChangesNoShortcut) {
  EarlierShortcuts();
  c_.installMode = kOverwrite;
  c_.previousVersion = L"2.0.0.1130";
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(StartMenuLink()), oldExe_);
  EXPECT_EQ(TargetOf(DesktopLink()), oldExe_);
  EXPECT_FALSE(FileExists(UninstallLink()));
  EXPECT_FALSE(FileExists(QuickLaunch(L"KelvoAI云盘同步版")));
  EXPECT_TRUE(g_notices.empty());
  EXPECT_TRUE(g_shellCalls.empty());
}

TEST_F(ShortcutsTest, UpgradeFromBeforeTheThresholdRecreatesTheShortcuts) {
  EarlierShortcuts();
  Upgrade(L"2.0.0.1124");
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(StartMenuLink()), c_.productExe);
  EXPECT_EQ(TargetOf(UninstallLink()), c_.installDir + L"\\uninstall.exe");
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
  EXPECT_EQ(TargetOf(QuickLaunch(L"KelvoAI云盘同步版")), c_.productExe);
}

TEST_F(ShortcutsTest, UpgradeFromTheThresholdOnLeavesTheShortcuts) {
  EarlierShortcuts();
  Upgrade(L"2.0.0.1125");
  c_.CreateShortcuts();
  EXPECT_EQ(TargetOf(StartMenuLink()), oldExe_);
  EXPECT_EQ(TargetOf(DesktopLink()), oldExe_);
  EXPECT_FALSE(FileExists(QuickLaunch(L"KelvoAI云盘同步版")));
}

TEST_F(ShortcutsTest, UpgradeWithoutShortcutsCreatesNone) {
  Upgrade(L"2.0.0.1124");
  c_.CreateShortcuts();
  EXPECT_FALSE(FileExists(StartMenuLink()));
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(FileExists(QuickLaunch(L"KelvoAI云盘同步版")));
}

TEST_F(ShortcutsTest, UpgradeFromTheFormerNameRenamesTheFormerDesktopLink) {
  std::wstring sameInOtherCase = c_.installDir + L"\\kelvocloudenterprisesync.exe";
  ASSERT_TRUE(CreateLink(sameInOtherCase.c_str(), FormerDesktopLink().c_str(), nullptr));
  std::wstring formerGroup = dir_.Join(L"Programs\\Kelvo安全中心\\Kelvo安全云盘同步版");
  ASSERT_TRUE(MakeFolders(formerGroup));
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), (formerGroup + L"\\Kelvo安全云盘同步版.lnk").c_str(),
                         nullptr));
  c_.formerNameInstalled = TRUE;
  Upgrade(L"2.0.0.1000");

  c_.CreateShortcuts();

  EXPECT_FALSE(FileExists(FormerDesktopLink()));
  // The renamed file itself, not a new one: it keeps its own spelling.
  EXPECT_EQ(TargetOf(DesktopLink()), sameInOtherCase);
  EXPECT_FALSE(FileExists(formerGroup));
  EXPECT_EQ(TargetOf(StartMenuLink()), c_.productExe);
  EXPECT_EQ(TargetOf(UninstallLink()), c_.installDir + L"\\uninstall.exe");
  EXPECT_EQ(TargetOf(QuickLaunch(L"KelvoAI云盘同步版")), c_.productExe);
}

TEST_F(ShortcutsTest, FormerDesktopLinkPointingElsewhereIsRewrittenAfterTheRename) {
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), FormerDesktopLink().c_str(), nullptr));
  c_.formerNameInstalled = TRUE;
  c_.installMode = kOverwrite;
  c_.CreateShortcuts();
  EXPECT_FALSE(FileExists(FormerDesktopLink()));
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
  // Quick Launch is an upgrade's business only.
  EXPECT_FALSE(FileExists(QuickLaunch(L"KelvoAI云盘同步版")));
}

TEST_F(ShortcutsTest, QuickLaunchReplacesTheFormerLinkAndPinsTheDesktopLink) {
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), QuickLaunch(L"Kelvo安全云盘同步版").c_str(), nullptr));
  std::wstring pinned = c_.appDataDir +
                        L"\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar";
  ASSERT_TRUE(MakeFolders(pinned));
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), (pinned + L"\\Kelvo安全云盘同步版.lnk").c_str(), nullptr));

  c_.CreateShortcuts();

  EXPECT_FALSE(FileExists(QuickLaunch(L"Kelvo安全云盘同步版")));
  EXPECT_TRUE(FileExists(QuickLaunch(L"KelvoAI云盘同步版")));
  if (!Windows7OrLater()) GTEST_SKIP() << "no pins before Windows 7";
  EXPECT_FALSE(FileExists(pinned + L"\\Kelvo安全云盘同步版.lnk"));
  ASSERT_GE(g_shellCalls.size(), 1u);
  EXPECT_EQ(g_shellCalls[0].verb, L"taskbarunpin");
  EXPECT_EQ(g_shellCalls[0].file, pinned + L"\\Kelvo安全云盘同步版.lnk");
  if (WindowsMajorVersion() < 10) {
    ASSERT_EQ(g_shellCalls.size(), 2u);
    EXPECT_EQ(g_shellCalls[1].verb, L"taskbarpin");
    EXPECT_EQ(g_shellCalls[1].file, DesktopLink());
  } else {
    EXPECT_EQ(g_shellCalls.size(), 1u);
  }
}

TEST_F(ShortcutsTest, DesktopShortcutOfGreenModeIsWrittenWhateverIsThere) {
  ASSERT_TRUE(CreateLink(oldExe_.c_str(), DesktopLink().c_str(), nullptr));
  c_.CreateDesktopShortcut();
  EXPECT_EQ(TargetOf(DesktopLink()), c_.productExe);
  EXPECT_EQ(AssociationNotices(), 1);

  c_.options.silent = TRUE;
  g_notices.clear();
  c_.CreateDesktopShortcut();
  EXPECT_EQ(AssociationNotices(), 0);
}

TEST_F(ShortcutsTest, LinkCarriesTargetWorkingFolderAndArguments) {
  std::wstring link = dir_.Join(L"with-arguments.lnk");
  ASSERT_TRUE(CreateLink(c_.productExe.c_str(), link.c_str(), L"/explorer"));
  EXPECT_EQ(TargetOf(link), c_.productExe);
  EXPECT_EQ(lstrcmpiW(WorkingFolderOf(link).c_str(), c_.installDir.c_str()), 0);
}

TEST_F(ShortcutsTest, UnreadableLinksYieldAnEmptyTarget) {
  wchar_t target[1024];
  target[0] = L'x';
  EXPECT_FALSE(ReadLinkTarget(dir_.Join(L"missing.lnk").c_str(), target, 1023));
  EXPECT_EQ(target[0], L'\0');
  ASSERT_TRUE(WriteFileBytes(dir_.Join(L"garbage.lnk"), "not a shell link"));
  target[0] = L'x';
  EXPECT_FALSE(ReadLinkTarget(dir_.Join(L"garbage.lnk").c_str(), target, 1023));
  EXPECT_EQ(target[0], L'\0');
}

TEST_F(ShortcutsTest, CreateLinkFailsIntoAMissingFolder) {
  EXPECT_FALSE(CreateLink(c_.productExe.c_str(), dir_.Join(L"nowhere\\x.lnk").c_str(), nullptr));
}

// Wine's desktop shell offers no pin verbs: the walk finds none and leaves the
// link alone; a missing file is not even looked up.
TEST_F(ShortcutsTest, PinVerbsWithoutAMatchingShellVerbChangeNothing) {
  ASSERT_TRUE(CreateLink(c_.productExe.c_str(), DesktopLink().c_str(), nullptr));
  std::string before;
  ASSERT_TRUE(ReadFileBytes(DesktopLink(), &before));
  InvokeTaskbarVerb(kUnpinVerb, DesktopLink().c_str());
  InvokeStartVerb(kPinVerb, DesktopLink().c_str());
  InvokeStartVerb(kUnpinVerb, dir_.Join(L"missing.lnk").c_str());
  InvokeTaskbarVerb(kPinVerb, L"");
  std::string after;
  ASSERT_TRUE(ReadFileBytes(DesktopLink(), &after));
  EXPECT_EQ(before, after);
}

}  // namespace
