// Times silent installs of one installer under Wine: each run installs into a
// fresh folder on a machine where the product is not registered, so every run
// is a fresh install. Prints the median wall time, the peak working set seen
// and the exit codes.
// usage: install_bench RUNS INSTALLER "ARGUMENTS with {dir}" [INSTALLER "ARGUMENTS" ...]
// With several installers they take turns, run by run, and a line is printed
// for each in the order given.
//
// Our installer shows the agreement dialog even when silent on a fresh
// install; the bench accepts it as a deployment tool's helper would, by
// pressing its "同意" button (command 1).
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/Timing.h"
#include "install/RunAndWait.h"
#include "install/ShellExtensions.h"
#include "util/FolderOps.h"

namespace {

using bench::Median;
using bench::Now;

const wchar_t kWindowTitle[] = L"欢迎使用 KelvoAI云盘同步版";
constexpr int kAgreementLicenceLink = 1015;

// Looks for the agreement dialog by class and title, which the window server
// answers in one request: a walk over every window and its text, every few
// milliseconds, would itself load the server that both installers depend on.
bool AcceptAgreement(DWORD processId) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, L"#32770", kWindowTitle)) != nullptr) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != processId || !::GetDlgItem(window, kAgreementLicenceLink)) continue;
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }
  return false;
}

// Each run must find no earlier install, or it would be an overwrite.
void ForgetEarlierInstalls() {
  const wchar_t* keys[] = {
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo企业云盘同步版",
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelvoPeerNsis",
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe",
  };
  for (const wchar_t* key : keys) ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with) {
  size_t at = text.find(what);
  if (at != std::wstring::npos) text.replace(at, what.size(), with);
  return text;
}

struct Installer {
  std::wstring path;
  std::wstring arguments;
  std::vector<double> times;
  SIZE_T peak = 0;
  std::wstring exitCodes;
  std::vector<double> registrations;
};

// Runs "regsvr32.exe /s" on each shell DLL the install left in the folder,
// one after the other, with the installer's own command and RunAndWait.
// Returns the seconds taken, or a negative value when the folder holds none.
double TimeShellDllRegistrations(const std::wstring& folder) {
  const wchar_t* dlls[] = {shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64,
                           shell_ext::kBar};
  double total = 0;
  bool any = false;
  for (const wchar_t* dll : dlls) {
    std::wstring path = folder + L"\\" + dll;
    if (!::PathFileExistsW(path.c_str())) continue;
    std::wstring command = std::wstring(RegistrationPrefix()) + L"\"" + path + L"\"";
    const double start = Now();
    RunAndWait(command.c_str(), TRUE);
    total += Now() - start;
    any = true;
  }
  return any ? total : -1;
}

// One silent install into a fresh folder; false when it could not start.
bool InstallOnce(Installer& installer, int run) {
  ForgetEarlierInstalls();
  wchar_t folder[MAX_PATH];
  swprintf(folder, MAX_PATH, L"C:\\bench%lu\\run%d\\Kelvopeltbox", ::GetCurrentProcessId(), run);
  std::wstring command =
      L"\"" + installer.path + L"\" " + Replace(installer.arguments, L"{dir}", folder);
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  const double start = Now();
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    fwprintf(stderr, L"cannot start %ls\n", installer.path.c_str());
    return false;
  }
  // Wine forgets an exited process's counters, so sample while it runs.
  // Once the agreement is accepted the bench stops looking for it.
  bool accepted = false;
  while (::WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    if (::GetProcessMemoryInfo(info.hProcess, &counters, sizeof(counters))) {
      installer.peak = std::max(installer.peak, counters.PeakWorkingSetSize);
    }
    if (!accepted) {
      accepted = AcceptAgreement(info.dwProcessId);
    }
  }
  installer.times.push_back(Now() - start);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(info.hProcess, &exitCode);
  installer.exitCodes += (installer.exitCodes.empty() ? L"" : L",") + std::to_wstring(exitCode);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  std::wstring installed = std::wstring(folder) + L"\\KelvoCloudEnterpriseSync.exe";
  if (!::PathFileExistsW(installed.c_str())) {
    fwprintf(stderr, L"run %d installed nothing into %ls\n", run, folder);
  }
  const double registration = TimeShellDllRegistrations(folder);
  if (registration >= 0) installer.registrations.push_back(registration);
  wchar_t runFolder[MAX_PATH];
  wcscpy(runFolder, folder);
  ::PathRemoveFileSpecW(runFolder);
  DeleteDirectoryTree(runFolder);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc % 2 != 0) {
    fwprintf(stderr, L"usage: install_bench RUNS INSTALLER \"ARGUMENTS with {dir}\" "
                     L"[INSTALLER \"ARGUMENTS\" ...]\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::vector<Installer> installers;
  for (int at = 2; at + 1 < argc; at += 2) installers.push_back({argv[at], argv[at + 1]});
  // The installers take turns, so that a slower or faster spell of the
  // machine falls on all of them alike.
  for (int run = 0; run < runs; ++run) {
    for (Installer& installer : installers) {
      if (!InstallOnce(installer, run)) return 2;
    }
  }
  for (Installer& installer : installers) {
    wprintf(L"median %.3f s, peak working set %.1f MiB, regsvr32 of its shell DLLs %.3f s, "
            L"exit codes %ls\n",
            Median(installer.times), installer.peak / 1048576.0, Median(installer.registrations),
            installer.exitCodes.c_str());
  }
  return 0;
}
