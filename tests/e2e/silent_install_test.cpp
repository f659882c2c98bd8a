// Silent fresh installs by the shipped installer, each on a machine of its
// own (a fresh Wine prefix with a drive D:), checked as a whole afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "install/NamespaceFolder.h"
#include "install/ProductNames.h"
#include "install/RegistryNames.h"
#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/InstallerWindows.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"

namespace {

const std::wstring kName = product::kName;

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return temp;
}

// Names that appear in the folders while the watch lasts: looked for every
// few milliseconds.
class NewNames {
 public:
  explicit NewNames(const std::vector<std::wstring>& folders) {
    for (const std::wstring& folder : folders) before_[folder] = ListFolder(folder);
    poll_ = std::thread([this] {
      for (bool last = false; !last; ::Sleep(5)) {
        last = ended_;
        for (const auto& [folder, old] : before_) {
          for (const std::wstring& name : ListFolder(folder)) {
            if (std::find(old.begin(), old.end(), name) == old.end()) seen_.insert(folder + name);
          }
        }
      }
    });
  }
  std::set<std::wstring> Stop() {
    ended_ = true;
    poll_.join();
    return seen_;
  }

 private:
  std::map<std::wstring, std::vector<std::wstring>> before_;
  std::set<std::wstring> seen_;
  std::atomic<bool> ended_{false};
  std::thread poll_;
};

// The users' case: the 32-bit installer on 64-bit Windows. A scan runs and
// the shell extension is loaded meanwhile.
TEST(SilentInstall, FreshMachineGetsTheWholeInstallAndTheProductStarted) {
  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  HANDLE extension = ::CreateMutexW(nullptr, FALSE, L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}");
  const std::wstring systemTemp = L"C:\\windows\\temp\\";
  NewNames watch({TempFolder(), systemTemp});
  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S");
  const std::set<std::wstring> appeared = watch.Stop();
  ::CloseHandle(scan);
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(outcome.agreementShown) << "a fresh install asks for the agreement, even silent";
  EXPECT_TRUE(outcome.messageBoxTexts.empty()) << "a silent run shows no scan notice";
  EXPECT_FALSE(outcome.mainWindowShown);

  const std::wstring folder = L"C:\\Program Files (x86)\\Kelvo\\Kelvopeltbox";
  const std::wstring exe = MainExe(folder);
  EXPECT_TRUE(ReadTree(folder) == ReadTree(PayloadFolder())) << "not exactly the payload";

  // The uninstall entry, whole, in the 32-bit view only.
  std::map<std::wstring, std::wstring> entry =
      RegValues(HKEY_LOCAL_MACHINE, product::kUninstallKey, KEY_WOW64_32KEY);
  const std::wstring mid = entry[L"mid"];
  EXPECT_EQ(mid.size(), 32u);
  EXPECT_EQ(mid.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << ToUtf8(mid);
  const std::map<std::wstring, std::wstring> expected = {
      {L"InstallLocation", folder},          {L"DisplayName", kName},
      {L"UninstallString", L"\"" + folder + L"\\uninstall.exe\""},
      {L"DisplayIcon", exe},                 {L"DisplayVersion", KELVO_OWN_VERSION_TEXT},
      {L"NSIS:StartMenuDir", kName},         {L"URLInfoAbout", L"https://kelvo.com"},
      {L"Publisher", L"Kelvo安全中心"},      {L"pid", L"home"},
      {L"mid", mid},                         {L"InstName", L"KelvoSetup.exe"}};
  EXPECT_TRUE(entry == expected) << entry.size() << " values";
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, product::kUninstallKey, KEY_WOW64_64KEY));
  // The machine identifier's cache: the identifier followed by its check.
  std::wstring cached = RegText(HKEY_LOCAL_MACHINE, L"Software\\KelvoSafe\\Liveup", L"mid", KEY_WOW64_32KEY);
  EXPECT_EQ(cached.size(), 64u);
  EXPECT_EQ(cached.substr(0, 32), mid);

  // App Paths is one key for both views, so the 64-bit shell finds it too.
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, nullptr, KEY_WOW64_64KEY), exe);
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, L"Path"), folder);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, registry_names::kRunKey, registry_names::kRunValue), L"")
      << "a silent install writes no autostart";

  EXPECT_EQ(ListFolder(StartMenuGroup(kName)),
            (std::vector<std::wstring>{kName + L".lnk", L"卸载" + kName + L".lnk"}));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\" + kName + L".lnk", exe));
  EXPECT_TRUE(IsInstallerShortcutTo(StartMenuGroup(kName) + L"\\卸载" + kName + L".lnk",
                                    folder + L"\\uninstall.exe"));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(kName), exe));
  EXPECT_TRUE(IsInstallerShortcutTo(QuickLaunchShortcut(kName), exe));
  EXPECT_FALSE(FileExists(DesktopShortcut(product::kFormerName)));

  // Each stand-in DLL records its own registration; the 64-bit pair can only
  // have been registered by the 64-bit regsvr32.
  for (const wchar_t* dll : {L"KelvoEnterpriseShellExt64.dll", L"KelvoEnterpriseShellExt.dll",
                             L"KelvoCloudEnterpriseBar64.dll", L"KelvoCloudEnterpriseBar.dll"}) {
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, L"Software\\KelvoStandIn\\Registered", dll), L"DllRegisterServer")
        << ToUtf8(dll);
  }
  // The folder in "Computer", for both views, and first in the places bar.
  using namespace namespace_folder;
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kUserClassKey, nullptr, KEY_WOW64_64KEY), kDisplayName);
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, std::wstring(kRootClassKey) + L"\\Instance\\InitPropertyBag",
                    L"Target"), exe);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kComputerEntryKey, nullptr), kDisplayName);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kPlacesBarKey, L"place0"), kOurPlace);

  // Asked to restart the shell for its loaded extension, and started.
  EXPECT_NE(WaitForLaunchLine(L"/explorer"), L"");
  EXPECT_TRUE(WaitUntil([] { return RunningCount(product::kMainExe) == 1; }, 20000))
      << "the product was not started";
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

// A deployment tool's "/D=" names a folder of the user's, on another drive:
// the product gets a folder of its own in it, copied across drives, and
// everything the folder held stays. The tool takes the output through a pipe
// it never reads, which fills after a few lines. The shell extensions refuse
// regsvr32 here: the 32-bit one registers itself through DllInstall before
// the toolbars come, and the product is asked to register the 64-bit one.
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
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, nullptr), MainExe(folder));
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
  EXPECT_EQ(RunningCount(product::kMainExe), 0) << "/silentrun=0 starts nothing";
}

}  // namespace
