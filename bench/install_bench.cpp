// Times silent installs of one installer under Wine: each run installs into a
// fresh folder on a machine where the product is not registered, so every run
// is a fresh install. Prints the median wall time, the peak working set seen
// and the exit codes.
// usage: install_bench RUNS INSTALLER "ARGUMENTS with {dir}" [INSTALLER "ARGUMENTS" ...]
// With several installers they take turns, run by run, and a line is printed
// for each in the order given. After the timed runs, each is watched closely
// in two more runs (untimed): where its peak working set goes, and when what
// it makes appears on the machine; our worker's steps are timed in-process.
//
// Our installer shows the agreement dialog even when silent on a fresh
// install; the bench accepts it as a deployment tool's helper would, by
// pressing its "同意" button (command 1).
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/MemoryBreakdown.h"
#include "bench/Timing.h"
#include "bench/WorkerTimeline.h"
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
  std::vector<double> pairedRegistrations;
};

// Runs "regsvr32.exe /s" on each shell DLL the install left in the folder,
// one after the other, with the installer's own command and RunAndWait.
// Gives the seconds taken, and the seconds the install's two pairs (each
// 64-bit DLL beside the 32-bit one after it) would take at best: the longer
// of each pair. Both negative when the folder holds none.
struct Registrations {
  double oneAfterAnother = -1;
  double inPairs = -1;
};

Registrations TimeShellDllRegistrations(const std::wstring& folder) {
  const wchar_t* dlls[] = {shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64,
                           shell_ext::kBar};
  double seconds[4] = {};
  bool any = false;
  for (int i = 0; i < 4; ++i) {
    std::wstring path = folder + L"\\" + dlls[i];
    if (!::PathFileExistsW(path.c_str())) continue;
    std::wstring command = std::wstring(RegistrationPrefix()) + L"\"" + path + L"\"";
    const double start = Now();
    RunAndWait(command.c_str(), TRUE);
    seconds[i] = Now() - start;
    any = true;
  }
  if (!any) return {};
  return {seconds[0] + seconds[1] + seconds[2] + seconds[3],
          std::max(seconds[0], seconds[1]) + std::max(seconds[2], seconds[3])};
}

// What a closely watched run looks at while the installer works.
class RunWatch {
 public:
  virtual ~RunWatch() = default;
  virtual void Started(HANDLE process, const std::wstring& folder) = 0;
  virtual void Poll(bool accepted) = 0;
  virtual void Print(double total) = 0;
};

// The peak working set taken apart. A run of its own: reading the process's
// memory maps slows the process down.
class MemoryWatch : public RunWatch {
 public:
  explicit MemoryWatch(const std::wstring& installer) : installer_(installer) {}
  void Started(HANDLE process, const std::wstring& folder) override {
    memory_.reset(new bench::MemoryBreakdown(process, folder, installer_));
  }
  void Poll(bool) override { memory_->Sample(); }
  void Print(double) override { memory_->Print(); }

 private:
  std::wstring installer_;
  std::unique_ptr<bench::MemoryBreakdown> memory_;
};

// When each thing an install makes first shows on the machine, seen from
// outside, every few milliseconds.
class Timeline : public RunWatch {
 public:
  void Started(HANDLE, const std::wstring& folder) override {
    start_ = Now();
    folder_ = folder;
    ::SHDeleteKeyW(HKEY_CURRENT_USER, kStandInRegistrations);
  }
  void Poll(bool accepted) override {
    Note(L"agreement answered", accepted);
    Note(L"install folder made", ::PathFileExistsW(folder_.c_str()) != FALSE);
    Note(L"product files in place",
         ::PathFileExistsW((folder_ + L"\\KelvoCloudEnterpriseSync.exe").c_str()) != FALSE);
    Note(L"shell DLLs registered", CountStandInRegistrations() >= 4);
    Note(L"uninstall entry written", UninstallEntryWritten());
  }
  void Print(double total) override {
    wprintf(L"  seen from outside (s after start):");
    for (const auto& event : events_) wprintf(L" %ls %.3f;", event.first, event.second);
    wprintf(L" process ended %.3f\n", total);
  }

 private:
  static constexpr wchar_t kStandInRegistrations[] = L"Software\\KelvoStandIn\\Registered";
  void Note(const wchar_t* what, bool happened) {
    if (!happened) return;
    for (const auto& event : events_) {
      if (event.first == what) return;
    }
    events_.push_back({what, Now() - start_});
  }
  static DWORD CountStandInRegistrations() {
    HKEY key = nullptr;
    DWORD values = 0;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kStandInRegistrations, 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
      ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
      ::RegCloseKey(key);
    }
    return values;
  }
  static bool UninstallEntryWritten() {
    for (const wchar_t* name : {L"Kelvo企业云盘同步版", L"KelvoPeerNsis"}) {
      std::wstring path = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
      HKEY key = nullptr;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) ==
          ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return true;
      }
    }
    return false;
  }

  std::wstring folder_;
  double start_ = 0;
  std::vector<std::pair<const wchar_t*, double>> events_;
};

// One silent install into a fresh folder named runName; false when it could
// not start. A watched run is left out of the figures.
bool InstallOnce(Installer& installer, const std::wstring& runName, RunWatch* watch = nullptr) {
  ForgetEarlierInstalls();
  wchar_t folder[MAX_PATH];
  swprintf(folder, MAX_PATH, L"C:\\bench%lu\\%ls\\Kelvopeltbox", ::GetCurrentProcessId(),
           runName.c_str());
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
  if (watch) watch->Started(info.hProcess, folder);
  // Wine forgets an exited process's counters, so sample while it runs.
  // Once the agreement is accepted the bench stops looking for it.
  bool accepted = false;
  SIZE_T peak = 0;
  while (::WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    if (::GetProcessMemoryInfo(info.hProcess, &counters, sizeof(counters))) {
      peak = std::max(peak, counters.PeakWorkingSetSize);
    }
    if (!accepted) {
      accepted = AcceptAgreement(info.dwProcessId);
    }
    if (watch) watch->Poll(accepted);
  }
  const double elapsed = Now() - start;
  DWORD exitCode = 0;
  ::GetExitCodeProcess(info.hProcess, &exitCode);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  if (watch) {
    watch->Print(elapsed);
  } else {
    installer.times.push_back(elapsed);
    installer.peak = std::max(installer.peak, peak);
    installer.exitCodes += (installer.exitCodes.empty() ? L"" : L",") + std::to_wstring(exitCode);
  }
  std::wstring installed = std::wstring(folder) + L"\\KelvoCloudEnterpriseSync.exe";
  if (!::PathFileExistsW(installed.c_str())) {
    fwprintf(stderr, L"run %ls installed nothing into %ls\n", runName.c_str(), folder);
  }
  if (!watch) {
    const Registrations registration = TimeShellDllRegistrations(folder);
    if (registration.oneAfterAnother >= 0) {
      installer.registrations.push_back(registration.oneAfterAnother);
      installer.pairedRegistrations.push_back(registration.inPairs);
    }
  }
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
      if (!InstallOnce(installer, L"run" + std::to_wstring(run))) return 2;
    }
  }
  for (Installer& installer : installers) {
    wprintf(L"median %.3f s, peak working set %.1f MiB, regsvr32 of its shell DLLs %.3f s "
            L"(in the install's pairs %.3f s), exit codes %ls\n",
            Median(installer.times), installer.peak / 1048576.0, Median(installer.registrations),
            Median(installer.pairedRegistrations), installer.exitCodes.c_str());
  }
  // The name is the mark the breakdown finds the process's Linux side by.
  for (Installer& installer : installers) {
    wprintf(L"watched runs of %ls:\n", installer.path.c_str());
    MemoryWatch memory(installer.path);
    if (!InstallOnce(installer, L"watched" + std::to_wstring(::GetTickCount()), &memory)) return 2;
    Timeline timeline;
    if (!InstallOnce(installer, L"watched" + std::to_wstring(::GetTickCount()), &timeline)) return 2;
    ForgetEarlierInstalls();
    wchar_t folder[MAX_PATH];
    swprintf(folder, MAX_PATH, L"C:\\bench%lu\\steps\\Kelvopeltbox", ::GetCurrentProcessId());
    bench::PrintWorkerTimeline(installer.path, folder);
  }
  return 0;
}
