// The install-folder rules of the custom-install panel, with the texts of the
// installer's own strings; then who may change the product folder, which
// Wine cannot show (SeamFakes.h keeps it).
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"
#include "ui/FolderCheck.h"
#include "unpack/ArchiveLibrary.h"
#include "util/FolderOps.h"

namespace {

constexpr ULONGLONG kMb = 1024 * 1024;

TEST(FolderRules, EachTypedFolderGetsItsVerdictAndText) {
  InstallerModule module;
  ASSERT_TRUE(module.get());
  struct Row {
    std::wstring folder;
    ULONGLONG free;
    FolderCheck::Status status;
    std::wstring message;
  };
  const std::wstring noDrive = L"所选目录无法安装，请选择其它目录";
  const std::wstring noRoom = L"剩余磁盘空间不足，请清理后再次安装";
  const std::wstring longest = L"C:\\" + std::wstring(177, L'a');  // 180 characters
  const Row rows[] = {
      {longest, 4096 * kMb, FolderCheck::kPassed, L"4.00 GB"},
      {longest + L"b", 4096 * kMb, FolderCheck::kPathTooLong, L"安装路径过长，请控制在180个字符以内，请重设。"},
      {L"\\\\server\\share\\x", 4096 * kMb, FolderCheck::kNoDrive, noDrive},
      {L"C:", 4096 * kMb, FolderCheck::kNoDrive, noDrive},
      {L"relative\\folder", 4096 * kMb, FolderCheck::kNoDrive, noDrive},
      {L"", 4096 * kMb, FolderCheck::kNoDrive, noDrive},
      {L"E:\\x", 31 * kMb, FolderCheck::kPassed, L"31 MB"},
      {L"E:\\x", 31 * kMb - 1, FolderCheck::kNotEnoughSpace, noRoom},
      {L"E:\\x", 1023 * kMb, FolderCheck::kPassed, L"1023 MB"},
      {L"E:\\a\\b", 1536 * kMb, FolderCheck::kPassed, L"1.50 GB"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ToUtf8(row.folder.substr(0, 30)) + " " + std::to_string(row.free));
    fakes::ScopedSeam seam;
    fakes::UseFreeSpace(row.free);
    FolderCheck check;
    check.resources = module.get();
    CheckFreeSpace(check, row.folder);
    EXPECT_EQ(check.status, row.status);
    EXPECT_EQ(ToUtf8(check.message), ToUtf8(row.message));
  }
  EXPECT_EQ(fakes::freeSpaceRootAsked, L"E:\\") << "asked for another volume";
  // A volume whose free space cannot be read is refused.
  FolderCheck asked;
  asked.resources = module.get();
  Seam().GetDiskFreeSpaceExW = [](LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER) WINAPI -> BOOL {
    return FALSE;
  };
  CheckFreeSpace(asked, L"Q:\\x");
  EXPECT_EQ(asked.status, FolderCheck::kFreeSpaceUnknown);
  EXPECT_EQ(ToUtf8(asked.message), ToUtf8(noDrive));
  ResetSystemSeam();
}

TEST(FolderRules, WriteCheckMakesTheFolderEmptyOrRefusesWhereNoneCanBe) {
  InstallerModule module;
  ScopedTempDir dir;
  FolderCheck check;
  check.resources = module.get();
  check.folder = dir.Join(L"a\\b\\Kelvopeltbox");
  EXPECT_TRUE(CheckFolderWritable(check));
  EXPECT_TRUE(IsFolder(check.folder));
  EXPECT_TRUE(ListFolder(check.folder).empty());
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"taken"), "a file, not a folder"));
  for (const wchar_t* name : {L"taken\\Kelvopeltbox", L"taken"}) {
    FolderCheck refused;
    refused.resources = module.get();
    refused.folder = dir.Join(name);
    EXPECT_FALSE(CheckFolderWritable(refused));
    EXPECT_EQ(refused.status, FolderCheck::kNotWritable);
    EXPECT_EQ(ToUtf8(refused.message), ToUtf8(L"所选目录无法写入，请选择其它目录"));
  }
}

// The installer's product archive extracted into folder, permissions kept.
void ExtractKeepingPermissions(const std::wstring& folder) {
  fakes::KeepPermissions();
  InstallerModule installer;
  ArchiveLibrary library;
  library.LoadArchiveLibrary(installer.get(), L"IDR_7Z_CAB_DLL", L"DLL");
  ASSERT_TRUE(library.ExtractMainArchive(installer.get(), L"ID_KELVOZIP_MAIN", L"BINARY", folder));
  library.ReleaseArchiveLibrary();
}

// This product folder the user made and owns.
TEST(ProductFolder, OnlyAdministratorsMayChangeItAndEveryFileHasThatWhenTheExtractionReturns) {
  fakes::ScopedSeam seam;
  ScopedTempDir made;
  const std::wstring& folder = made.path();
  ASSERT_NO_FATAL_FAILURE(ExtractKeepingPermissions(folder));
  const std::string administratorsOnly =
      "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-"
      "1853292631-2271478464)(A;OICI;0x1200a9;;;WD)";
  EXPECT_EQ(ToUtf8(fakes::permissions[folder]), "O:BA" + administratorsOnly);
  for (const TreeEntry& entry : ReadTree(folder)) {  // a file's folders take part in its DACL
    if (entry.isFolder) continue;
    EXPECT_EQ(ToUtf8(fakes::EffectiveDacl(folder + L"\\" + entry.path)), administratorsOnly);
  }
}

// On XP, where the common folder lends no DACL, the files moved in from the
// work folder still take what the product folder hands down.
TEST(ProductFolder, OnXpInTheCommonFolderEveryFileTakesWhatItsFolderHandsDown) {
  fakes::ScopedSeam seam;
  fakes::UseWindowsVersion(VER_PLATFORM_WIN32_NT, 5, 1);
  const std::wstring folder = L"C:\\Program Files (x86)\\Kelvo\\OnXp";
  ASSERT_NO_FATAL_FAILURE(ExtractKeepingPermissions(folder));
  for (const TreeEntry& entry : ReadTree(folder)) {
    std::wstring path = folder + L"\\" + entry.path;
    if (entry.isFolder) path.pop_back();
    EXPECT_EQ(ToUtf8(fakes::permissions[path]), "D:") << ToUtf8(entry.path);
  }
  DeleteDirectoryTree(folder.c_str());
}

}  // namespace
