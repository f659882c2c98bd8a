// The install-folder rules: the product-folder rule, the free-space check
// with its messages and figures, and the click-time write check.
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/TestFiles.h"
#include "install/ProductFolder.h"
#include "ui/FolderCheck.h"
#include "util/SystemSeam.h"

namespace {

// The strings come from the installer's own string table.
class FolderRules : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_.get()); }
  void TearDown() override { ResetSystemSeam(); }
  FolderCheck NewCheck() const {
    FolderCheck check;
    check.resources = module_.get();
    return check;
  }
  // Makes every volume report this many free bytes; remembers the root asked.
  static void FreeBytes(ULONGLONG bytes) {
    freeBytes_ = bytes;
    Seam().GetDiskFreeSpaceExW = [](LPCWSTR root, PULARGE_INTEGER caller, PULARGE_INTEGER total,
                                    PULARGE_INTEGER totalFree) WINAPI -> BOOL {
      askedRoot_ = root;
      caller->QuadPart = 0;  // the caller's quota must not count
      total->QuadPart = freeBytes_ * 2;
      totalFree->QuadPart = freeBytes_;
      return TRUE;
    };
  }
  static ULONGLONG freeBytes_;
  static std::wstring askedRoot_;
  InstallerModule module_;
};
ULONGLONG FolderRules::freeBytes_ = 0;
std::wstring FolderRules::askedRoot_;

constexpr ULONGLONG kMb = 1024 * 1024;

TEST(ProductFolderRule, AlwaysEndsInOneKelvopeltboxFolder) {
  EXPECT_EQ(NormalizeProductFolder(L"D:\\"), L"D:\\Kelvopeltbox");
  EXPECT_EQ(NormalizeProductFolder(L"D:\\Kelvopeltbox"), L"D:\\Kelvopeltbox");
  EXPECT_EQ(NormalizeProductFolder(L"D:\\Kelvopeltbox\\"), L"D:\\Kelvopeltbox");
  EXPECT_EQ(NormalizeProductFolder(L"D:\\kelvopeltbox"), L"D:\\kelvopeltbox\\Kelvopeltbox");
  EXPECT_EQ(NormalizeProductFolder(L"E:\\Apps"), L"E:\\Apps\\Kelvopeltbox");
  EXPECT_EQ(NormalizeProductFolder(L"E:\\Apps\\"), L"E:\\Apps\\Kelvopeltbox");
}

TEST_F(FolderRules, RequiredSpaceIsThe31OfString151) { EXPECT_EQ(RequiredSpaceMb(module_.get()), 31); }

TEST_F(FolderRules, LengthLimitIs180Characters) {
  FreeBytes(4096 * kMb);
  FolderCheck check = NewCheck();
  std::wstring folder = L"C:\\" + std::wstring(177, L'a');
  ASSERT_EQ(folder.size(), 180u);
  CheckFreeSpace(check, folder);
  EXPECT_EQ(check.status, FolderCheck::kPassed);
  CheckFreeSpace(check, folder + L"b");
  EXPECT_EQ(check.status, FolderCheck::kPathTooLong);
  EXPECT_EQ(check.message, L"安装路径过长，请控制在180个字符以内，请重设。");
  EXPECT_EQ(check.folder, folder + L"b");
}

TEST_F(FolderRules, TextWithoutDrivePartIsRefused) {
  FreeBytes(4096 * kMb);
  for (const wchar_t* text : {L"\\\\server\\share\\x", L"C:", L"relative\\folder", L""}) {
    FolderCheck check = NewCheck();
    CheckFreeSpace(check, text);
    EXPECT_EQ(check.status, FolderCheck::kNoDrive) << text;
    EXPECT_EQ(check.message, L"所选目录无法安装，请选择其它目录");
  }
}

TEST_F(FolderRules, AsksTheDriveRootOfTheTypedText) {
  FreeBytes(4096 * kMb);
  FolderCheck check = NewCheck();
  CheckFreeSpace(check, L"E:\\a\\b");
  EXPECT_EQ(askedRoot_, L"E:\\");
  EXPECT_EQ(check.status, FolderCheck::kPassed);
}

TEST_F(FolderRules, UnreadableFreeSpaceIsRefused) {
  Seam().GetDiskFreeSpaceExW = [](LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                  PULARGE_INTEGER) WINAPI -> BOOL { return FALSE; };
  FolderCheck check = NewCheck();
  CheckFreeSpace(check, L"Q:\\x");
  EXPECT_EQ(check.status, FolderCheck::kFreeSpaceUnknown);
  EXPECT_EQ(check.message, L"所选目录无法安装，请选择其它目录");
}

TEST_F(FolderRules, ThirtyOneMegabytesAreEnoughThirtyAreNot) {
  FolderCheck check = NewCheck();
  FreeBytes(31 * kMb);
  CheckFreeSpace(check, L"C:\\x");
  EXPECT_EQ(check.status, FolderCheck::kPassed);
  EXPECT_EQ(check.message, L"31 MB");
  FreeBytes(31 * kMb - 1);
  CheckFreeSpace(check, L"C:\\x");
  EXPECT_EQ(check.status, FolderCheck::kNotEnoughSpace);
  EXPECT_EQ(check.message, L"剩余磁盘空间不足，请清理后再次安装");
}

TEST_F(FolderRules, FreeSpaceReadsInMegabytesThenGigabytes) {
  FolderCheck check = NewCheck();
  FreeBytes(1023 * kMb);
  CheckFreeSpace(check, L"C:\\x");
  EXPECT_EQ(check.message, L"1023 MB");
  FreeBytes(1024 * kMb);
  CheckFreeSpace(check, L"C:\\x");
  EXPECT_EQ(check.message, L"1.00 GB");
  FreeBytes(1536 * kMb);
  CheckFreeSpace(check, L"C:\\x");
  EXPECT_EQ(check.message, L"1.50 GB");
}

TEST_F(FolderRules, WriteCheckCreatesTheFolderAndLeavesNothingInIt) {
  ScopedTempDir dir;
  FolderCheck check = NewCheck();
  check.folder = dir.Join(L"a\\b\\Kelvopeltbox");
  EXPECT_TRUE(CheckFolderWritable(check));
  EXPECT_TRUE(IsFolder(check.folder));
  EXPECT_TRUE(ListFolder(check.folder).empty());
  EXPECT_EQ(check.status, FolderCheck::kPassed);
}

TEST_F(FolderRules, WriteCheckFailsWhereNoFolderCanBe) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"taken"), "a file, not a folder"));
  FolderCheck check = NewCheck();
  check.folder = dir.Join(L"taken\\Kelvopeltbox");
  EXPECT_FALSE(CheckFolderWritable(check));
  EXPECT_EQ(check.status, FolderCheck::kNotWritable);
  EXPECT_EQ(check.message, L"所选目录无法写入，请选择其它目录");
  check = FolderCheck();
  check.folder = dir.Join(L"taken");
  EXPECT_FALSE(CheckFolderWritable(check));
  EXPECT_EQ(check.status, FolderCheck::kNotWritable);
}

}  // namespace
