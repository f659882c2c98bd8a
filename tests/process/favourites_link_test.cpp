// The favourites-bar link of the product's former name goes at every install.
// It lives in the real user profile (the test prefix's), so this runs alone.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/InstallApp.h"
#include "install/ProductNames.h"
#include "install/ShellLink.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

namespace {

struct Notice {
  LONG eventId;
  UINT flags;
  std::wstring item;
};
std::vector<Notice> g_notices;

void WINAPI RecordNotice(LONG eventId, UINT flags, LPCVOID item, LPCVOID) {
  const bool isPath = (flags & SHCNF_TYPE) == SHCNF_PATHW && item;
  g_notices.push_back({eventId, flags, isPath ? static_cast<const wchar_t*>(item) : L""});
}

TEST(FavouritesLink, FormerNameLinkIsRemovedAndTheShellToldEvenWhenSilent) {
  const OSVERSIONINFOEXW& v = WindowsVersion();
  if (v.dwMajorVersion < 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion == 0)) {
    GTEST_SKIP() << "only from Windows 7 on";
  }
  ::CoInitialize(nullptr);
  wchar_t profile[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE));
  std::wstring links = std::wstring(profile) + L"\\links";
  CreateDirectoryW(links.c_str(), nullptr);
  std::wstring formerLink = links + L"\\Kelvo安全云盘同步版.lnk";
  ScopedTempDir dir;
  std::wstring exe = dir.Join(L"KelvoCloudEnterpriseSync.exe");
  ASSERT_TRUE(CreateLink(exe.c_str(), formerLink.c_str(), nullptr));

  g_notices.clear();
  Seam().SHChangeNotify = &RecordNotice;
  SetupContext context;
  context.options.silent = TRUE;
  context.productName = product::kName;
  context.installMode = kOverwrite;
  context.installDir = dir.path();
  context.productExe = exe;
  context.startMenuDir = dir.Join(L"Programs\\Kelvo安全中心\\KelvoAI云盘同步版");
  context.desktopDir = dir.path();
  context.appDataDir = dir.path();
  context.CreateShortcuts();
  ResetSystemSeam();
  ::CoUninitialize();

  EXPECT_FALSE(FileExists(formerLink));
  ASSERT_EQ(g_notices.size(), 2u);
  EXPECT_EQ(g_notices[0].eventId, SHCNE_INTERRUPT | SHCNE_DELETE);
  EXPECT_EQ(g_notices[0].flags, 0x1005u);
  EXPECT_EQ(g_notices[0].item, formerLink);
  EXPECT_EQ(static_cast<DWORD>(g_notices[1].eventId), 0x80001000u);
  EXPECT_EQ(g_notices[1].flags, 0x1005u);
  EXPECT_EQ(g_notices[1].item, links);
}

}  // namespace
