#include "support/InstalledMachine.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>

#include "install/ProductNames.h"
#include "install/ProcessList.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"

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

std::wstring MainExe(const std::wstring& folder) { return folder + L"\\" + product::kMainExe; }

std::wstring UninstallValue(const wchar_t* name) {
  return RegText(HKEY_LOCAL_MACHINE, product::kUninstallKey, name);
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

void EndProductProcesses() {
  TerminateProcessesByName(product::kMainExe, 5000);
  TerminateProcessesByName(L"KelvoCloudIntro.exe", 5000);
}

std::wstring StandInOfVersion(const wchar_t* version, const wchar_t* file) {
  return BuiltProgram(std::wstring(L"tests\\versions\\") + version + L"\\" + file);
}

bool MakeInstalledVersion(const std::wstring& folder, const wchar_t* version) {
  EndProductProcesses();
  return ::CopyFileW(StandInOfVersion(version, product::kMainExe).c_str(), MainExe(folder).c_str(),
                     FALSE) != FALSE;
}

bool SetStandInFlag(const wchar_t* name) {
  ::SHCreateDirectoryExW(nullptr, StandInData(L"").c_str(), nullptr);
  return WriteFileBytes(StandInData(name), "");
}

std::vector<std::wstring> LaunchLines() {
  std::string bytes;
  ReadFileBytes(StandInData(L"launch.log"), &bytes);
  std::vector<std::wstring> lines;
  std::wstring text = FromUtf8(bytes);
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::wstring WaitForLaunchLine(const std::wstring& token, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  do {
    for (const std::wstring& line : LaunchLines()) {
      if (line.find(token) != std::wstring::npos) return line;
    }
    ::Sleep(50);
  } while (::GetTickCount() - start < timeoutMs);
  return L"";
}
