// Silent fresh installs by the shipped installer, each on a machine of its
// own (a fresh Wine prefix with a drive D:), checked as a whole afterwards.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

const std::wstring kName = names::kName;

// The systems the installer targets (e2e-run reads the system from the
// case's name), and what each shows after a silent fresh install.
struct System {
  const char* name;
  bool is64;
  bool extensionLoaded;  // the shell holds the old extension: asked to restart
  bool pinsToTaskbar;    // the "taskbarpin" verb on the desktop shortcut
  bool startedByShell;   // the product's parent is the desktop shell
};
class FreshSilentInstall : public ::testing::TestWithParam<System> {};

// A scan runs meanwhile. The shell answers a pin verb through a handler
// registered for shortcuts, which notes its command line.
TEST_P(FreshSilentInstall, GetsTheWholeInstallOfItsSystemAndTheProductStarted) {
  const System& system = GetParam();
  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  HANDLE extension =
      ::CreateMutexW(nullptr, FALSE, system.extensionLoaded ? L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}" : nullptr);
  ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, L"lnkfile\\shell\\taskbarpin\\command", nullptr,
                             L"\"" + PayloadFolder() + L"\\uninstall.exe\" taskbarpin \"%1\""));
  // Names that appear in the user's or the system's temporary folder meanwhile.
  const std::wstring systemTemp = L"C:\\windows\\temp\\";
  wchar_t userTemp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, userTemp);
  std::set<std::wstring> before, appeared;
  auto look = [&](std::set<std::wstring>* into) {
    for (const std::wstring& folder : {std::wstring(userTemp), systemTemp}) {
      for (const std::wstring& name : ListFolder(folder)) {
        if (!before.count(folder + name)) into->insert(folder + name);
      }
    }
  };
  look(&before);
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S", L"", [&] { look(&appeared); });
  ::CloseHandle(scan);
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.agreementShown) << "a fresh install asks for the agreement, even silent";
  EXPECT_TRUE(outcome.messageBoxTexts.empty()) << "a silent run shows no scan notice";
  EXPECT_FALSE(outcome.mainWindowShown);

  const std::wstring folder = system.is64 ? L"C:\\Program Files (x86)\\Kelvo\\Kelvopeltbox"
                                          : L"C:\\Program Files\\Kelvo\\Kelvopeltbox";
  const std::wstring exe = folder + L"\\KelvoCloudEnterpriseSync.exe";
  EXPECT_TRUE(ReadTree(folder) == ReadTree(PayloadFolder())) << "not exactly the payload";

  // The uninstall entry, whole, in the 32-bit view only.
  std::map<std::wstring, std::wstring> entry = RegValues(HKEY_LOCAL_MACHINE, names::kUninstallKey, KEY_WOW64_32KEY);
  // The machine identifier, as its cache in the 32-bit view begins.
  const std::wstring mid = entry[L"mid"];
  EXPECT_EQ(mid.size(), 32u);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, L"Software\\KelvoSafe\\Liveup", L"mid", KEY_WOW64_32KEY).substr(0, 32), mid);
  const std::map<std::wstring, std::wstring> expected = {
      {L"InstallLocation", folder},          {L"DisplayName", kName},
      {L"UninstallString", L"\"" + folder + L"\\uninstall.exe\""},
      {L"DisplayIcon", exe},                 {L"DisplayVersion", KELVO_OWN_VERSION_TEXT},
      {L"NSIS:StartMenuDir", kName},         {L"URLInfoAbout", L"https://kelvo.com"},
      {L"Publisher", L"Kelvo安全中心"},      {L"pid", L"home"},
      {L"mid", mid},                         {L"InstName", L"KelvoSetup.exe"}};
  EXPECT_TRUE(entry == expected) << entry.size() << " values";
  if (system.is64) {
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey, KEY_WOW64_64KEY));
  }

  // App Paths is one key for both views, so the 64-bit shell finds it too.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, names::kAppPathsKey, nullptr, KEY_WOW64_64KEY), exe);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, names::kAppPathsKey, L"Path"), folder);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, names::kRunKey, names::kRunValue), L"")
      << "a silent install writes no autostart";

  EXPECT_EQ(ListFolder(StartMenuGroup(kName)),
            (std::vector<std::wstring>{kName + L".lnk", L"卸载" + kName + L".lnk"}));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\" + kName + L".lnk", exe));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\卸载" + kName + L".lnk",
                                    folder + L"\\uninstall.exe"));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe));
  EXPECT_FALSE(FileExists(DesktopShortcut(L"Kelvo安全云盘同步版")));
  EXPECT_EQ(WaitForLaunchLine(L"taskbarpin", system.pinsToTaskbar ? 20000 : 0) ==
                L"\"" + PayloadFolder() + L"\\uninstall.exe\" taskbarpin \"" + DesktopShortcut(kName) + L"\"",
            system.pinsToTaskbar);

  // Each stand-in DLL records its own registration; the 64-bit pair can only
  // have been registered by the 64-bit regsvr32, and only 64-bit Windows has it.
  for (const wchar_t* dll : {L"KelvoEnterpriseShellExt64.dll", L"KelvoEnterpriseShellExt.dll",
                             L"KelvoCloudEnterpriseBar64.dll", L"KelvoCloudEnterpriseBar.dll"}) {
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, L"Software\\KelvoStandIn\\Registered", dll),
              system.is64 || !wcsstr(dll, L"64") ? L"DllRegisterServer" : L"")
        << ToUtf8(dll);
  }
  // The folder in "Computer", for both views, and first in the places bar.
  const std::wstring clsid = L"{0363E446-2A0C-4914-813F-E3FC8539879E}";
  const std::wstring current = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + clsid, nullptr, KEY_WOW64_64KEY),
            L"KelvoAI云盘-同步版");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\Instance\\InitPropertyBag", L"Target"), exe);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, current + L"Explorer\\MyComputer\\NameSpace\\" + clsid, nullptr),
            L"KelvoAI云盘-同步版");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, current + L"Policies\\Comdlg32\\PlacesBar", L"place0"),
            L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::" + clsid);

  // Asked to restart the shell only for its loaded extension; the product
  // started, through the desktop shell where Windows has elevation to shed.
  EXPECT_EQ(WaitForLaunchLine(L"/explorer", system.extensionLoaded ? 20000 : 0) != L"", system.extensionLoaded);
  EXPECT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }, 20000)) << "the product was not started; the stand-ins logged:\n"
      << FileText(ShellFolder(CSIDL_APPDATA) + L"\\KelvoStandIn\\launch.log");
  const std::wstring parent = ParentProgram(names::kMainExe);
  EXPECT_EQ(lstrcmpiW(parent.c_str(), L"explorer.exe") == 0, system.startedByShell) << "by " << ToUtf8(parent);
  ::CloseHandle(extension);

  // The elevated run unpacked nothing where the user's programs may write:
  // all went into one folder of its own in the system's, gone afterwards.
  int workFolders = 0;
  for (const std::wstring& path : appeared) {
    EXPECT_EQ(path.rfind(systemTemp, 0), 0u) << "in the user's folder: " << ToUtf8(path);
    EXPECT_FALSE(FileExists(path)) << "left: " << ToUtf8(path);
    workFolders += path.size() == systemTemp.size() + 42 && path.substr(path.size() - 4) == L".tmp";
  }
  EXPECT_EQ(workFolders, 1);
}
INSTANTIATE_TEST_SUITE_P(Systems, FreshSilentInstall,
                         ::testing::Values(System{"WinXP_32", false, true, false, false},
                                           System{"Vista_64", true, false, false, true},
                                           System{"Win7_32", false, false, true, true},
                                           System{"Win7_64", true, true, true, true},
                                           System{"Win10_64", true, false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A deployment tool's "/D=" names a folder of the user's on another drive: the
// product gets a folder of its own in it and everything the folder held stays.
// The tool reads none of the output it takes through a pipe, which fills after
// a few lines. The shell extensions refuse regsvr32: the 32-bit one registers
// itself through DllInstall before the toolbars, the product the 64-bit one.
TEST(SilentInstall, ExistingFolderOnAnotherDriveKeepsItsFilesAndAnUnreadPipeHoldsNothing) {
  const std::wstring given = L"D:\\我的 云盘";
  ASSERT_TRUE(::CreateDirectoryW(given.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((given + L"\\config").c_str(), nullptr));  // a name the payload has
  ASSERT_TRUE(WriteFileBytes(given + L"\\config\\settings.ini", "[mine]"));
  ASSERT_TRUE(WriteFileBytes(given + L"\\notes.txt", "mine"));
  const std::vector<TreeEntry> before = ReadTree(given);

  ::SetEnvironmentVariableW(L"KELVO_STANDIN_REGISTER_FAILS",
                            L"KelvoEnterpriseShellExt64.dll KelvoEnterpriseShellExt.dll");
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE unread = nullptr, output = nullptr;
  ASSERT_TRUE(::CreatePipe(&unread, &output, &inheritable, 1));
  InstallerRun::Outcome outcome;
  {
    InstallerRun run(L"/S /silentrun=0 /D=\"" + given + L"\"", L"", output);
    ::CloseHandle(output);
    outcome = run.PlayToEnd(IDOK, 90000);
  }
  ::CloseHandle(unread);
  EXPECT_EQ(outcome.exitCode, 0u);

  const std::wstring folder = given + L"\\Kelvopeltbox";
  EXPECT_TRUE(HoldsThePayload(folder));
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, names::kAppPathsKey, nullptr), MainExe(folder));
  std::vector<TreeEntry> after = ReadTree(given);
  for (const TreeEntry& entry : before) {
    EXPECT_NE(std::find(after.begin(), after.end(), entry), after.end())
        << "lost or changed: " << ToUtf8(entry.path);
  }
  EXPECT_FALSE(FileExists(DefaultInstallFolder()));
  const std::wstring registered = L"Software\\KelvoStandIn\\Registered";
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, registered, L"KelvoEnterpriseShellExt.dll"), L"DllInstall");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, registered, L"KelvoEnterpriseShellExt64.dll"), L"");
  const std::wstring at = registered + L"At", fallbackAt = RegText(HKEY_CURRENT_USER, at, L"KelvoEnterpriseShellExt.dll");
  for (const wchar_t* bar : {L"KelvoCloudEnterpriseBar64.dll", L"KelvoCloudEnterpriseBar.dll"}) {
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, registered, bar), L"DllRegisterServer") << ToUtf8(bar);
    EXPECT_LT(fallbackAt, RegText(HKEY_CURRENT_USER, at, bar)) << ToUtf8(bar);
  }
  EXPECT_NE(WaitForLaunchLine(L"/reg"), L"") << "the product was not asked to register";
  EXPECT_EQ(RunningCount(names::kMainExe), 0) << "/silentrun=0 starts nothing";
}

}  // namespace
