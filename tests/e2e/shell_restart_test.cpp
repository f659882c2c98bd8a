// When the product is asked to restart the shell, on the systems whose rules
// differ (e2e-run reads the system from the case's name).
#include <gtest/gtest.h>

#include <string>

#include "install/SetupContext.h"
#include "install/ShellRestart.h"
#include "support/TestFiles.h"

namespace {

// The loaded extension holds its mutex; the product leaves a hand-over file
// naming the folder it already restarted the shell for. An outdated toolbar
// still loaded after the install follows each system's own rule.
struct System {
  const char* name;
  bool afterUpgrade;
  bool afterFreshInstall;  // Windows 7 has the shell load the new overlays instead
};
class ShellRestart : public ::testing::TestWithParam<System> {};

TEST_P(ShellRestart, NotForAFolderHandedOverNorForAnOutdatedToolbarStillLoaded) {
  ScopedTempDir temp;
  ::SetEnvironmentVariableW(L"TMP", temp.path().c_str());
  ::SetEnvironmentVariableW(L"TEMP", temp.path().c_str());
  SetupContext context;
  context.installDir = L"C:\\Kelvo\\Kelvopeltbox";
  HANDLE extension = ::CreateMutexW(nullptr, FALSE, L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}");
  EXPECT_TRUE(ShouldRestartExplorer(context));

  const std::wstring handOver = temp.Join(L"55d7fdfb.ini");
  ::WritePrivateProfileStringW(L"main", L"instpath", L"C:\\KELVO\\KELVOPELTBOX", handOver.c_str());
  EXPECT_FALSE(ShouldRestartExplorer(context));
  EXPECT_FALSE(FileExists(handOver)) << "the hand-over is used once";
  ::WritePrivateProfileStringW(L"main", L"instpath", L"C:\\Elsewhere", handOver.c_str());
  EXPECT_TRUE(ShouldRestartExplorer(context));

  context.installMode = kUpgrade;
  context.shellExtOutdated = TRUE;
  context.shellExtCleared = FALSE;
  EXPECT_FALSE(ShouldRestartExplorer(context));
  context.shellExtCleared = TRUE;
  EXPECT_EQ(ShouldRestartExplorer(context) != FALSE, GetParam().afterUpgrade);
  context.installMode = kFreshInstall;
  EXPECT_EQ(ShouldRestartExplorer(context) != FALSE, GetParam().afterFreshInstall);
  // With 13 overlay handlers registered there is no room for more.
  for (int i = 0; i < 13; ++i) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                      L"ShellIconOverlayIdentifiers\\" + std::to_wstring(i)).c_str(), 0, nullptr, 0,
                      KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    ::RegCloseKey(key);
    if (i == 11) {
      EXPECT_EQ(ShouldRestartExplorer(context) != FALSE, GetParam().afterFreshInstall);
    }
  }
  EXPECT_EQ(ShouldRestartExplorer(context) != FALSE, GetParam().afterUpgrade);
  ::CloseHandle(extension);
}
INSTANTIATE_TEST_SUITE_P(Systems, ShellRestart,
                         ::testing::Values(System{"WinXP_32", false, false}, System{"Win7_64", true, false},
                                           System{"Win8_64", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
