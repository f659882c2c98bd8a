// An upgrade meeting a full drive (a small tmpfs drive e2e-run mounts where
// the machine allows it) ends with its code, and the earlier install stays
// as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/TestFiles.h"

namespace {

// Writes real bytes (a sparse file would take no room) until keep bytes are left.
bool FillDrive(const wchar_t* root, ULONGLONG keep) {
  HANDLE file = ::CreateFileW((std::wstring(root) + L"filler.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string block(1 << 20, 'x');
  ULARGE_INTEGER free = {};
  bool ok = true;
  while (ok && ::GetDiskFreeSpaceExW(root, &free, nullptr, nullptr) && free.QuadPart > keep + block.size()) {
    DWORD written = 0;
    ok = ::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
         written == block.size();
  }
  ::CloseHandle(file);
  return ok;
}

// The staging folder is on C:, so the new files are copied across: with no
// room for them the upgrade ends before touching the earlier install.
TEST(FullDrive, UpgradeEndsWithItsCodeAndChangesNothing) {
  if (::GetDriveTypeW(L"F:\\") <= DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "e2e-run could not mount a small drive";
  const std::wstring folder = L"F:\\Kelvopeltbox";
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0 /D=\"" + folder + L"\"").exitCode, 0u);
  ASSERT_TRUE(HoldsThePayload(folder));
  ASSERT_TRUE(MakeInstalledVersion(folder, L"2.0.0.1124"));
  const std::vector<TreeEntry> earlier = ReadTree(folder);
  ASSERT_TRUE(FillDrive(L"F:\\", 256 << 10));  // less than the largest payload file

  EXPECT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 5u);
  EXPECT_TRUE(ReadTree(folder) == earlier) << "the earlier install changed";
}

}  // namespace
