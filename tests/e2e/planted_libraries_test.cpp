// The installer run from a download folder that someone filled with DLLs
// named as the system libraries Windows loads by name: none of them may load.
#include <gtest/gtest.h>

#include <string>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

// System libraries that Windows XP to 10 (and Wine) load by name for what
// the installer does, on its behalf or at its request.
const wchar_t* const kPlantedNames[] = {
    L"uxtheme", L"dwmapi", L"propsys", L"apphelp", L"clbcatq", L"comres", L"oleacc",
    L"userenv", L"profapi", L"version", L"cryptbase", L"cryptsp", L"rsaenh", L"sspicli",
    L"secur32", L"wintrust", L"crypt32", L"msasn1", L"bcrypt", L"ntmarta", L"setupapi",
    L"cabinet", L"netapi32", L"netutils", L"srvcli", L"wkscli", L"iphlpapi", L"ws2_32",
    L"dnsapi", L"psapi", L"msimg32", L"winmm", L"linkinfo", L"ntshrui", L"mpr",
    L"windowscodecs", L"explorerframe", L"shlwapi", L"shcore", L"shell32", L"gdiplus",
    L"comctl32"};

TEST(PlantedLibraries, NoneLoadsIntoASilentInstallNorIntoAnInteractiveOne) {
  const std::wstring folder = L"D:\\Downloads";
  const std::wstring installer = folder + L"\\KelvoSetup.exe";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), installer.c_str(), TRUE));
  const std::wstring planted = std::wstring(KELVO_TEST_DATA_WIN) + L"\\PlantedLibrary.dll";
  for (const wchar_t* name : kPlantedNames) {
    ASSERT_TRUE(::CopyFileW(planted.c_str(), (folder + L"\\" + name + L".dll").c_str(), TRUE));
  }

  // A fresh silent install, then the same installer over it through its window.
  EXPECT_EQ(InstallerRun(L"/S /silentrun=0", installer).PlayToEnd(IDOK, 90000).exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
  InstallerRun run(L"", installer);
  HWND main = run.WaitForWindowWith(IDC_INSTALL_BUTTON, 30000);
  EXPECT_TRUE(main) << "no main window";
  if (main) ClickControl(main, IDC_INSTALL_BUTTON);
  EXPECT_EQ(run.WaitForExit(90000), 0u);

  std::string loaded;  // a planted DLL that ran left "<name>.dll.loaded"
  for (const std::wstring& name : ListFolder(folder)) {
    if (name.find(L".loaded") != std::wstring::npos) loaded += ToUtf8(name) + " ";
  }
  EXPECT_EQ(loaded, "");
}

}  // namespace
