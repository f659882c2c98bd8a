// Installs meeting a drive that is too small or fills up, files held open by
// another program and read-only files: the installer ends, with no crash and
// no hang, and no file of the earlier install is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/ExitCodes.h"
#include "install/ProductNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/ProductCopies.h"
#include "support/TestFiles.h"

namespace {

bool HasDrive(const wchar_t* root) { return ::GetDriveTypeW(root) > DRIVE_NO_ROOT_DIR; }

ULONGLONG FreeBytes(const wchar_t* root) {
  ULARGE_INTEGER free = {};
  ::GetDiskFreeSpaceExW(root, &free, nullptr, nullptr);
  return free.QuadPart;
}

// Writes real bytes (a sparse file would take no room) until only keep
// bytes of the drive are left.
bool FillDrive(const wchar_t* root, ULONGLONG keep) {
  std::wstring path = std::wstring(root) + L"filler.bin";
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string block(1 << 20, 'x');
  bool ok = true;
  while (ok && FreeBytes(root) > keep + block.size()) {
    DWORD written = 0;
    ok = ::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
         written == block.size();
  }
  ::CloseHandle(file);
  return ok;
}

std::vector<std::wstring> FilesBelow(const std::wstring& folder) {
  std::vector<std::wstring> files;
  for (const TreeEntry& entry : ReadTree(folder, false)) {
    if (!entry.isFolder) files.push_back(entry.path);
  }
  return files;
}

TEST(SmallDrive, FreeSpaceRuleRefusesAFolderOnIt) {
  if (!HasDrive(L"S:\\")) GTEST_SKIP() << "no small drive: this machine does not let us mount one";
  InstallerRun run(L"");
  HWND window = AcceptAgreementAndWaitUntilReady(run);
  ASSERT_TRUE(window);
  ASSERT_TRUE(TypeInstallFolder(window, L"S:\\Kelvopeltbox"));
  EXPECT_TRUE(WaitForText(window, kSpaceLine, L"剩余磁盘空间不足，请清理后再次安装"));
  // The refusal: the user cannot start the install there.
  EXPECT_TRUE(WaitUntil([&] { return !ControlEnabled(window, kInstallButton); }));
  EXPECT_EQ(run.WaitForExit(1000), static_cast<DWORD>(STILL_ACTIVE)) << "the user stays on the page";
  EXPECT_FALSE(FileExists(L"S:\\Kelvopeltbox\\KelvoCloudEnterpriseSync.exe"));
}

// The staging folder is on C:, so the new files are copied across: with no
// room for them the upgrade ends before touching the earlier install.
TEST(FullDrive, UpgradeOnAFullDriveEndsWithItsCodeAndChangesNothing) {
  if (!HasDrive(L"F:\\")) GTEST_SKIP() << "no small drive: this machine does not let us mount one";
  const std::wstring folder = L"F:\\Kelvopeltbox";
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0 /D=\"" + folder + L"\"").exitCode, 0u);
  ASSERT_TRUE(HoldsThePayload(folder));
  ASSERT_TRUE(StampFileVersion(folder + L"\\" + product::kMainExe, L"1.0.0.9"));
  const std::vector<TreeEntry> earlier = ReadTree(folder);
  // Less room than the largest payload file takes.
  ASSERT_TRUE(FillDrive(L"F:\\", 256 << 10));

  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  EXPECT_EQ(outcome.exitCode, static_cast<DWORD>(kExitPackageDamaged));
  EXPECT_TRUE(ReadTree(folder) == earlier) << "the earlier install changed";
}

class OverwriteFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
    folder_ = DefaultInstallFolder();
  }
  std::wstring folder_;
};

TEST_F(OverwriteFaultsTest, FileHeldOpenByAnotherProgramStaysAndTheRestIsReplaced) {
  const std::wstring held = folder_ + L"\\KelvoCloudIntro.xml";
  const std::wstring other = folder_ + L"\\KelvoCloudIntro.ui";
  ASSERT_TRUE(WriteFileBytes(held, "held by another program"));
  ASSERT_TRUE(WriteFileBytes(other, "changed by the user"));
  // Opened without any sharing but reading: it can be neither moved nor deleted.
  HANDLE file = ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0");
  ::CloseHandle(file);
  EXPECT_EQ(outcome.exitCode, 0u);
  std::string content;
  ASSERT_TRUE(ReadFileBytes(held, &content));
  EXPECT_EQ(content, "held by another program");
  std::string replaced, original;
  ASSERT_TRUE(ReadFileBytes(other, &replaced));
  ASSERT_TRUE(ReadFileBytes(PayloadSourceFolder() + L"\\KelvoCloudIntro.ui", &original));
  EXPECT_TRUE(replaced == original);
}

TEST_F(OverwriteFaultsTest, ReadOnlyInstalledFilesAreReplaced) {
  for (const std::wstring& file : FilesBelow(folder_)) {
    std::wstring path = folder_ + L"\\" + file;
    if (file.find(L".dll") == std::wstring::npos && file.find(L".exe") == std::wstring::npos) {
      ASSERT_TRUE(WriteFileBytes(path, "stale"));
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  ::SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(folder_));
}

}  // namespace
