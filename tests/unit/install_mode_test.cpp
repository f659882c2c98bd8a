// Finding an earlier installation and deciding the install mode and folder,
// with installed copies made from the product stand-ins.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "util/ElevationFlags.h"
#include "app/InstallApp.h"
#include "install/ProductNames.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"

namespace {

constexpr wchar_t kSuiteKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Kelvosafe.exe";

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

class InstallModeTest : public ::testing::Test {
 protected:
  InstallOptions options_;
  void SetUp() override {
    options_.ownVersion = L"1.0.0.10";
    options_.silent = FALSE;
    options_.installDirOverride.clear();
    GreenMode = FALSE;
  }
  void TearDown() override {
    GreenMode = FALSE;
    options_.silent = FALSE;
    options_.installDirOverride.clear();
  }

  // An installed copy of the given version, registered in the uninstall entry.
  std::wstring Install(const std::wstring& version) {
    std::wstring folder = dir_.Join(L"Installed");
    EXPECT_TRUE(MakeInstalledCopy(folder, version, {product::kMainExe}));
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation",
                               folder));
    return folder;
  }

  std::wstring DefaultFolder() {
    return SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Kelvo\\Kelvopeltbox";
  }

  SetupContext Located() {
    SetupContext context;
    context.options = options_;
    context.SetUp();
    return context;
  }

  RegistrySandbox sandbox_;
  ScopedTempDir dir_;
};

TEST_F(InstallModeTest, NothingInstalledIsAFreshInstallIntoTheDefaultFolder) {
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, DefaultFolder());
  EXPECT_EQ(context.defaultInstallDir, DefaultFolder());
  EXPECT_EQ(context.productExe, DefaultFolder() + L"\\KelvoCloudEnterpriseSync.exe");
  EXPECT_TRUE(context.previousVersion.empty());
}

TEST_F(InstallModeTest, DefaultFolderSitsNextToTheSecuritySuite) {
  std::wstring suiteFolder = dir_.Join(L"Kelvo\\Kelvosafe");
  ASSERT_TRUE(CreateDirectoryW(dir_.Join(L"Kelvo").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(suiteFolder.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(suiteFolder + L"\\Kelvosafe.exe", "suite"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kSuiteKey, L"", suiteFolder + L"\\Kelvosafe.exe"));

  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, dir_.Join(L"Kelvo\\Kelvopeltbox"));
}

TEST_F(InstallModeTest, SuiteEntryNamingAMissingFileIsIgnored) {
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kSuiteKey, L"",
                             dir_.Join(L"Kelvo\\Kelvosafe\\Kelvosafe.exe")));
  EXPECT_EQ(Located().installDir, DefaultFolder());
}

TEST_F(InstallModeTest, OlderInstalledCopyIsAnUpgradeInItsOwnFolder) {
  std::wstring folder = Install(L"1.0.0.9");
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kUpgrade);
  EXPECT_EQ(context.previousVersion, L"1.0.0.9");
  EXPECT_EQ(context.installDir, folder);
  EXPECT_EQ(context.defaultInstallDir, folder);
  EXPECT_EQ(context.productExe, folder + L"\\KelvoCloudEnterpriseSync.exe");
}

TEST_F(InstallModeTest, SameVersionIsAnOverwrite) {
  Install(L"1.0.0.10");
  EXPECT_EQ(Located().installMode, kOverwrite);
}

TEST_F(InstallModeTest, NewerInstalledCopyIsRefusedNumerically) {
  Install(L"1.0.0.10");
  options_.ownVersion = L"1.0.0.9";
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kNewerInstalled);
  EXPECT_EQ(context.previousVersion, L"1.0.0.10");
}

TEST_F(InstallModeTest, TwoPartOwnVersionComparesAsFourParts) {
  Install(L"1.2.0.0");
  options_.ownVersion = L"1.2";
  EXPECT_EQ(Located().installMode, kOverwrite);
}

TEST_F(InstallModeTest, RegisteredFolderWithoutTheExecutableFallsBackToTheDefault) {
  std::wstring folder = Install(L"1.0.0.9");
  ASSERT_TRUE(DeleteFileW((folder + L"\\KelvoCloudEnterpriseSync.exe").c_str()));
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, DefaultFolder());
}

TEST_F(InstallModeTest, CopyInTheDefaultFolderIsFoundWithoutAnUninstallEntry) {
  std::wstring base = dir_.Join(L"Kelvo");
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((base + L"\\Kelvosafe").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(base + L"\\Kelvosafe\\Kelvosafe.exe", "suite"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kSuiteKey, L"", base + L"\\Kelvosafe\\Kelvosafe.exe"));
  ASSERT_TRUE(MakeInstalledCopy(base + L"\\Kelvopeltbox", L"1.0.0.9", {product::kMainExe}));
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kUpgrade);
  EXPECT_EQ(context.installDir, base + L"\\Kelvopeltbox");
}

// The signature check is a placeholder that trusts any existing file until
// the maker's signatures land.
TEST_F(InstallModeTest, CopyFailingTheSignatureCheckIsNotRecognised) {
  std::wstring folder = Install(L"1.0.0.9");
  std::string bytes;
  std::wstring exe = folder + L"\\KelvoCloudEnterpriseSync.exe";
  ASSERT_TRUE(ReadFileBytes(exe, &bytes));
  bytes[bytes.size() / 2] ^= 0x01;
  ASSERT_TRUE(WriteFileBytes(exe, bytes));
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, DefaultFolder());
}

TEST_F(InstallModeTest, GreenModeIgnoresTheInstalledCopyAndInstallsPerUser) {
  Install(L"1.0.0.9");
  GreenMode = TRUE;
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, SpecialFolder(CSIDL_APPDATA) + L"\\Kelvo\\Kelvopeltbox");
  EXPECT_FALSE(context.introSnapshotTaken);
}

// The product's own folder inside the one given, made at once: the
// pre-extraction then goes where the install stays.
TEST_F(InstallModeTest, SilentInstallFolderOverrideGetsTheProductFolderForAFreshInstall) {
  options_.silent = TRUE;
  options_.installDirOverride = dir_.Join(L"Chosen\\Deeper");
  SetupContext context = Located();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox"));
  EXPECT_TRUE(IsFolder(dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox")));
  options_.installDirOverride = dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox\\");
  EXPECT_EQ(Located().installDir, dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox"));
}

TEST_F(InstallModeTest, SilentOverrideNamingADriveRootKeepsTheDefault) {
  options_.silent = TRUE;
  options_.installDirOverride = L"C:";
  EXPECT_EQ(Located().installDir, DefaultFolder());
  options_.installDirOverride = L"C:\\";
  EXPECT_EQ(Located().installDir, DefaultFolder());
}

TEST_F(InstallModeTest, SilentOverrideThatCannotBeCreatedKeepsTheDefault) {
  ASSERT_TRUE(WriteFileBytes(dir_.Join(L"plain"), "a file, not a folder"));
  options_.silent = TRUE;
  options_.installDirOverride = dir_.Join(L"plain\\sub");
  EXPECT_EQ(Located().installDir, DefaultFolder());
  options_.installDirOverride = dir_.Join(L"plain");
  EXPECT_EQ(Located().installDir, DefaultFolder());
}

TEST_F(InstallModeTest, OverrideIsIgnoredWhenNotSilentOrWhenInstalled) {
  options_.installDirOverride = dir_.Join(L"Chosen");
  EXPECT_EQ(Located().installDir, DefaultFolder());
  EXPECT_FALSE(FileExists(dir_.Join(L"Chosen")));

  options_.silent = TRUE;
  std::wstring folder = Install(L"1.0.0.9");
  EXPECT_EQ(Located().installDir, folder);
  EXPECT_FALSE(FileExists(dir_.Join(L"Chosen")));
}

TEST_F(InstallModeTest, FormerDisplayNameIsNoticed) {
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayName",
                             L"Kelvo安全云盘同步版"));
  EXPECT_TRUE(Located().formerNameInstalled);
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayName",
                             L"KelvoAI云盘同步版"));
  EXPECT_FALSE(Located().formerNameInstalled);
}

TEST_F(InstallModeTest, SetUpNamesTheProductAndItsFolders) {
  SetupContext context = Located();
  EXPECT_EQ(context.productName, L"KelvoAI云盘同步版");
  EXPECT_EQ(context.startMenuDir,
            SpecialFolder(CSIDL_PROGRAMS) + L"\\Kelvo安全中心\\KelvoAI云盘同步版");
  EXPECT_EQ(context.desktopDir, SpecialFolder(CSIDL_DESKTOPDIRECTORY));
  EXPECT_EQ(context.appDataDir, SpecialFolder(CSIDL_APPDATA));
  EXPECT_FALSE(context.formerNameInstalled);
}

TEST_F(InstallModeTest, UpgradeNotesTheIntroFileSizes) {
  std::wstring folder = Install(L"1.0.0.9");
  ASSERT_TRUE(WriteFileBytes(folder + L"\\KelvoCloudIntro.xml", "12345"));
  SetupContext context = Located();
  ASSERT_EQ(context.installMode, kUpgrade);
  EXPECT_TRUE(context.introSnapshotTaken);
  EXPECT_EQ(context.introUiSize, -1);
  EXPECT_EQ(context.introXmlSize, 5);
}

TEST_F(InstallModeTest, OverwriteTakesNoIntroSnapshot) {
  std::wstring folder = Install(L"1.0.0.10");
  ASSERT_TRUE(WriteFileBytes(folder + L"\\KelvoCloudIntro.xml", "12345"));
  SetupContext context = Located();
  EXPECT_FALSE(context.introSnapshotTaken);
  EXPECT_EQ(context.introUiSize, 0);
  EXPECT_EQ(context.introXmlSize, 0);
}

}  // namespace
