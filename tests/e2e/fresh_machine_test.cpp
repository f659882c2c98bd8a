// Every scenario starts on a machine that has never seen the product, with a
// second drive D: of its own; a scenario that found traces of another would
// prove nothing.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "support/InstallerResources.h"

namespace {

TEST(FreshMachine, NoInstallOfTheProductIsRegistered) {
  HKEY key = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                            L"Kelvo企业云盘同步版",
                            0, KEY_READ, &key),
            ERROR_SUCCESS);
  if (key) ::RegCloseKey(key);
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
  EXPECT_FALSE(::PathFileExistsW((std::wstring(programFiles) + L"\\Kelvo").c_str()));
}

// Wine would link the desktop to the Unix home folder, which every machine on
// this host shares; here it is a folder of the machine's own, still empty.
TEST(FreshMachine, DesktopIsAnEmptyFolderOfItsOwn) {
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
  EXPECT_TRUE(ListFolder(desktop).empty());
}

TEST(FreshMachine, DriveDIsAnEmptyFixedDriveOfItsOwn) {
  EXPECT_EQ(::GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_TRUE(ListFolder(L"D:\\").empty());
}

}  // namespace
