#include "support/InstalledMachine.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "install/ProductNames.h"
#include "support/InstallerResources.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"

namespace {

// A text under HKEY_LOCAL_MACHINE; ReadRegString already drops the
// terminating NULs the stored value may carry.
std::wstring MachineText(const wchar_t* key, const wchar_t* name) {
  std::wstring value;
  ReadRegString(HKEY_LOCAL_MACHINE, key, name, &value);
  return value;
}

}  // namespace

std::wstring ShellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE);
  return folder;
}

std::wstring ProgramFilesFolder() { return ShellFolder(CSIDL_PROGRAM_FILES); }

std::wstring DefaultInstallFolder() { return ProgramFilesFolder() + L"\\Kelvo\\Kelvopeltbox"; }

std::wstring UninstallValue(const wchar_t* name) {
  return MachineText(product::kUninstallKey, name);
}

std::wstring AppPathsDefault() {
  return MachineText(
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe",
      nullptr);
}

::testing::AssertionResult HoldsThePayload(const std::wstring& folder) {
  std::vector<TreeEntry> expected = ReadTree(PayloadSourceFolder());
  std::vector<TreeEntry> installed = ReadTree(folder);
  for (const TreeEntry& entry : expected) {
    bool found = false;
    for (const TreeEntry& candidate : installed) {
      if (candidate.path == entry.path) {
        if (!(candidate == entry)) {
          return ::testing::AssertionFailure()
                 << "differs: " << ToUtf8(entry.path);
        }
        found = true;
        break;
      }
    }
    if (!found) {
      return ::testing::AssertionFailure()
             << "missing: " << ToUtf8(entry.path);
    }
  }
  return ::testing::AssertionSuccess();
}

int RunningProductCount() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {sizeof(entry)};
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, product::kMainExe) == 0) ++count;
  }
  ::CloseHandle(snapshot);
  return count;
}

std::wstring StartMenuGroup(const std::wstring& name) {
  return ShellFolder(CSIDL_PROGRAMS) + L"\\Kelvo安全中心\\" + name;
}

std::wstring DesktopShortcut(const std::wstring& name) {
  return ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + name + L".lnk";
}

std::wstring QuickLaunchShortcut(const std::wstring& name) {
  return ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch\\" + name +
         L".lnk";
}
