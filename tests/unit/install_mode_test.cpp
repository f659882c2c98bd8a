// Finding an earlier installation and deciding the install mode and folder,
// with installed copies of the versions the build makes.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "install/SetupContext.h"
#include "support/InstalledMachine.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"
#include "util/ElevationFlags.h"

namespace {

class InstallMode : public ::testing::Test {
 protected:
  void TearDown() override { GreenMode = FALSE; }
  // An installed copy of that version, registered in the uninstall entry.
  std::wstring Install(const wchar_t* version, const std::wstring& folder = std::wstring()) {
    std::wstring target = folder.empty() ? dir_.Join(L"Installed") : folder;
    ::SHCreateDirectoryExW(nullptr, target.c_str(), nullptr);
    EXPECT_TRUE(::CopyFileW(StandInOfVersion(version, names::kMainExe).c_str(), MainExe(target).c_str(), FALSE));
    if (folder.empty()) WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, L"InstallLocation", target);
    return target;
  }
  // The security suite installed in dir_\Kelvo\Kelvosafe.
  void InstallSuite() {
    ::SHCreateDirectoryExW(nullptr, dir_.Join(L"Kelvo\\Kelvosafe").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(dir_.Join(L"Kelvo\\Kelvosafe\\Kelvosafe.exe"), "suite"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kSuiteAppPathsKey, nullptr,
                               dir_.Join(L"Kelvo\\Kelvosafe\\Kelvosafe.exe")));
  }
  SetupContext Decide(const wchar_t* ownVersion = L"2.0.0.1125", bool silent = false,
                      const std::wstring& folderSwitch = std::wstring()) {
    SetupContext context;
    context.options.ownVersion = ownVersion;
    context.options.silent = silent;
    context.options.installDirOverride = folderSwitch;
    context.SetUp();
    return context;
  }
  static std::wstring DefaultFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Kelvo\\Kelvopeltbox"; }

  RegistrySandbox sandbox_;
  ScopedTempDir dir_;
};

TEST_F(InstallMode, NothingInstalledIsAFreshInstallIntoTheDefaultFolderOrBesideTheSuite) {
  SetupContext context = Decide();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, DefaultFolder());
  EXPECT_EQ(context.defaultInstallDir, DefaultFolder());
  EXPECT_EQ(context.productExe, MainExe(DefaultFolder()));
  // A suite entry naming a missing file is ignored.
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kSuiteAppPathsKey, nullptr,
                             dir_.Join(L"Kelvo\\Kelvosafe\\Kelvosafe.exe")));
  EXPECT_EQ(Decide().installDir, DefaultFolder());
  InstallSuite();
  EXPECT_EQ(Decide().installDir, dir_.Join(L"Kelvo\\Kelvopeltbox"));
}

TEST_F(InstallMode, InstalledVersionComparedNumericallyDecidesUpgradeOverwriteOrRefusal) {
  std::wstring folder = Install(L"2.0.0.1124");
  SetupContext upgrade = Decide(L"2.0.0.1125");
  EXPECT_EQ(upgrade.installMode, kUpgrade);
  EXPECT_EQ(upgrade.previousVersion, L"2.0.0.1124");
  EXPECT_EQ(upgrade.installDir, folder);
  EXPECT_EQ(upgrade.defaultInstallDir, folder);
  EXPECT_EQ(Decide(L"2.0.0.1124").installMode, kOverwrite);
  EXPECT_EQ(Decide(L"2.0.0.999").installMode, kNewerInstalled) << "compared as text";
  // Missing parts count as zeros.
  Install(L"99.0.0.1");
  EXPECT_EQ(Decide(L"99.0.0").installMode, kNewerInstalled);
  EXPECT_EQ(Decide(L"99.0.1").installMode, kUpgrade);
}

TEST_F(InstallMode, CopyWithoutEntryIsFoundBesideTheSuiteButAMissingOrChangedOneIsNot) {
  InstallSuite();
  Install(L"2.0.0.1124", dir_.Join(L"Kelvo\\Kelvopeltbox"));
  EXPECT_EQ(Decide().installMode, kUpgrade);

  std::wstring folder = Install(L"2.0.0.1124");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(MainExe(folder), &bytes));
  bytes[bytes.size() / 2] ^= 0x01;
  ASSERT_TRUE(WriteFileBytes(MainExe(folder), bytes));
  RemoveTreeForcibly(dir_.Join(L"Kelvo\\Kelvopeltbox"));
  EXPECT_EQ(Decide().installMode, kFreshInstall) << "a copy failing its signature was taken";
  ASSERT_TRUE(::DeleteFileW(MainExe(folder).c_str()));
  EXPECT_EQ(Decide().installMode, kFreshInstall);
  EXPECT_EQ(Decide().installDir, dir_.Join(L"Kelvo\\Kelvopeltbox"));
}

TEST_F(InstallMode, PerUserModeIgnoresTheInstalledCopy) {
  Install(L"2.0.0.1124");
  GreenMode = TRUE;
  SetupContext context = Decide();
  EXPECT_EQ(context.installMode, kFreshInstall);
  EXPECT_EQ(context.installDir, ShellFolder(CSIDL_APPDATA) + L"\\Kelvo\\Kelvopeltbox");
}

// The folder a silent run is given gets the product's folder inside it, made
// at once, so the pre-extraction goes where the install stays.
TEST_F(InstallMode, SilentFolderSwitchGetsTheProductFolderWhereOneCanBe) {
  SetupContext given = Decide(L"2.0.0.1125", true, dir_.Join(L"Chosen\\Deeper"));
  EXPECT_EQ(given.installMode, kFreshInstall);
  EXPECT_EQ(given.installDir, dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox"));
  EXPECT_TRUE(IsFolder(given.installDir));
  EXPECT_EQ(Decide(L"2.0.0.1125", true, dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox\\")).installDir,
            dir_.Join(L"Chosen\\Deeper\\Kelvopeltbox"));
  ASSERT_TRUE(WriteFileBytes(dir_.Join(L"plain"), "a file, not a folder"));
  for (const std::wstring& kept : {std::wstring(L"C:"), std::wstring(L"C:\\"), dir_.Join(L"plain"),
                                   dir_.Join(L"plain\\sub")}) {
    EXPECT_EQ(Decide(L"2.0.0.1125", true, kept).installDir, DefaultFolder()) << ToUtf8(kept);
  }
  EXPECT_EQ(Decide(L"2.0.0.1125", false, dir_.Join(L"Other")).installDir, DefaultFolder());
  std::wstring installed = Install(L"2.0.0.1124");
  EXPECT_EQ(Decide(L"2.0.0.1125", true, dir_.Join(L"Other")).installDir, installed);
  EXPECT_FALSE(FileExists(dir_.Join(L"Other")));
}

TEST_F(InstallMode, FormerNameAndIntroFilesOfTheEarlierInstallAreNoted) {
  std::wstring folder = Install(L"2.0.0.1124");
  ASSERT_TRUE(WriteFileBytes(folder + L"\\KelvoCloudIntro.xml", "12345"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, L"DisplayName", names::kFormerName));
  SetupContext upgrade = Decide();
  EXPECT_TRUE(upgrade.formerNameInstalled);
  EXPECT_TRUE(upgrade.introSnapshotTaken);
  EXPECT_EQ(upgrade.introUiSize, -1);
  EXPECT_EQ(upgrade.introXmlSize, 5);
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, L"DisplayName", names::kName));
  SetupContext overwrite = Decide(L"2.0.0.1124");
  EXPECT_FALSE(overwrite.formerNameInstalled);
  EXPECT_FALSE(overwrite.introSnapshotTaken);
}

}  // namespace
