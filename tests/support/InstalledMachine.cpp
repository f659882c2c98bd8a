#include "support/InstalledMachine.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <map>

#include "install/ProcessList.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

std::wstring StandInData(const wchar_t* name) {
  return ShellFolder(CSIDL_APPDATA) + L"\\KelvoStandIn\\" + name;
}

}  // namespace

std::wstring ShellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE);
  return folder;
}

std::wstring DefaultInstallFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Kelvo\\Kelvopeltbox"; }

std::wstring MainExe(const std::wstring& folder) { return folder + L"\\" + names::kMainExe; }

std::wstring UninstallValue(const wchar_t* name) {
  return RegText(HKEY_LOCAL_MACHINE, names::kUninstallKey, name);
}

std::wstring PayloadFolder() { return BuiltProgram(L"payload"); }

::testing::AssertionResult HoldsThePayload(const std::wstring& folder) {
  std::vector<TreeEntry> installed = ReadTree(folder);
  for (const TreeEntry& entry : ReadTree(PayloadFolder())) {
    auto found = std::find_if(installed.begin(), installed.end(),
                              [&](const TreeEntry& e) { return e.path == entry.path; });
    if (found == installed.end()) return ::testing::AssertionFailure() << "missing: " << ToUtf8(entry.path);
    if (!(*found == entry)) return ::testing::AssertionFailure() << "differs: " << ToUtf8(entry.path);
  }
  return ::testing::AssertionSuccess();
}

int RunningCount(const wchar_t* exeName) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {sizeof(entry)};
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    count += lstrcmpiW(entry.szExeFile, exeName) == 0;
  }
  ::CloseHandle(snapshot);
  return count;
}

std::wstring ParentProgram(const wchar_t* exeName) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {sizeof(entry)};
  std::map<DWORD, std::wstring> names;
  DWORD parent = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    names[entry.th32ProcessID] = entry.szExeFile;
    if (!parent && lstrcmpiW(entry.szExeFile, exeName) == 0) parent = entry.th32ParentProcessID;
  }
  ::CloseHandle(snapshot);
  return parent ? names[parent] : L"";
}

void EndProductProcesses() {
  TerminateProcessesByName(names::kMainExe, 5000);
  TerminateProcessesByName(L"KelvoCloudIntro.exe", 5000);
}

std::wstring StandInOfVersion(const wchar_t* version, const wchar_t* file) {
  return BuiltProgram(std::wstring(L"tests\\versions\\") + version + L"\\" + file);
}

bool MakeInstalledVersion(const std::wstring& folder, const wchar_t* version) {
  EndProductProcesses();
  return ::CopyFileW(StandInOfVersion(version, names::kMainExe).c_str(), MainExe(folder).c_str(),
                     FALSE) != FALSE;
}

bool SetStandInFlag(const wchar_t* name) {
  ::SHCreateDirectoryExW(nullptr, StandInData(L"").c_str(), nullptr);
  return WriteFileBytes(StandInData(name), "");
}

std::wstring WaitForLaunchLine(const std::wstring& token, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  do {
    std::wstring log = FromUtf8(FileText(StandInData(L"launch.log")));
    size_t at = log.find(token);
    if (at != std::wstring::npos) {
      size_t begin = log.rfind(L'\n', at);
      begin = begin == std::wstring::npos ? 0 : begin + 1;
      return log.substr(begin, log.find(L'\r', at) - begin);
    }
    ::Sleep(50);
  } while (::GetTickCount() - start < timeoutMs);
  return L"";
}
