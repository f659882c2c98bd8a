#include "install/ShellExtensions.h"

#include <shellapi.h>
#include <wchar.h>

#include <memory>
#include <vector>

#include "install/RunAndWait.h"
#include "install/SetupContext.h"
#include "unpack/FileTrust.h"
#include "unpack/HeldFile.h"
#include "unpack/TempPath.h"
#include "unpack/TrustedLaunch.h"
#include "util/ElevationFlags.h"
#include "util/FileVersion.h"
#include "util/FolderOps.h"
#include "util/SystemSeam.h"
#include "util/TokenRights.h"
#include "util/VersionCompare.h"
#include "util/Windows64.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kRegsvr32[] = L"regsvr32.exe";
constexpr wchar_t kSilentSwitch[] = L" /s ";
constexpr UINT kMinimumToolbarVersionString = 150;
constexpr wchar_t kMinimumToolbarVersionFallback[] = L"1.0.1.1030";
constexpr ULONG kRunAsMask = 0x00001000;

std::wstring InstallPath(const SetupContext& context, const wchar_t* fileName) {
  wchar_t path[260] = {};
  _snwprintf(path, 259, L"%s\\%s", context.installDir.c_str(), fileName);
  return path;
}

// A damaged file of ours is never run: the report ends the installer.
bool VerifyOrReport(const std::wstring& path) {
  if (IsTrustedFile(path.c_str())) return true;
  ReportCorruptedFile(path.c_str(), kCorruptedFileTitle, TRUE);
  return false;
}

// The fallback when regsvr32 fails: the DLL's own installer entry.
BOOL CallDllInstall(const std::wstring& path) {
  typedef HRESULT(STDAPICALLTYPE * DllInstallFn)(BOOL install, LPCWSTR commandLine);
  HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll");
  // Where the loader can be told, the DLL's own dependencies come from the
  // system folder only, never from beside it.
  DWORD flags =
      kernel && ::GetProcAddress(kernel, "AddDllDirectory") ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0;
  HMODULE dll = ::LoadLibraryExW(path.c_str(), nullptr, flags);
  if (!dll) return FALSE;
  BOOL installed = FALSE;
  auto install = reinterpret_cast<DllInstallFn>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllInstall")));
  if (install) installed = install(TRUE, nullptr) == S_OK;
  ::FreeLibrary(dll);
  return installed;
}

}  // namespace

std::wstring MinimumToolbarVersion(HMODULE resources) {
  wchar_t text[64] = {};
  if (!resources) resources = ::GetModuleHandleW(nullptr);
  if (::LoadStringW(resources, kMinimumToolbarVersionString, text, 64) > 0) return text;
  return kMinimumToolbarVersionFallback;
}

std::wstring RetireFile(const SetupContext& context, const wchar_t* fileName,
                        RetiredFile* retired) {
  std::wstring full = InstallPath(context, fileName);
  wchar_t bak[260] = {};
  _snwprintf(bak, 259, L"%s.bak", full.c_str());
  ::DeleteFileW(bak);
  if (retired) *retired = RetiredFile{full};
  if (!PathExists(full.c_str())) return full;
  // Kept until the extraction has brought the new file: a failed upgrade
  // must not leave the product without it.
  std::wstring copy;
  if (retired && MakeTempPath(copy) && !::CopyFileW(full.c_str(), copy.c_str(), FALSE)) {
    copy.clear();
  }
  if (::DeleteFileW(full.c_str())) {
    if (retired) retired->keptCopy = copy;
    return full;
  }
  if (!copy.empty()) ::DeleteFileW(copy.c_str());
  DWORD attributes = ::GetFileAttributesW(full.c_str());
  ::SetFileAttributesW(full.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  bool moved = ::MoveFileExW(full.c_str(), bak, MOVEFILE_REPLACE_EXISTING) != FALSE;
  if (retired) retired->movedToBackup = moved;
  return full;
}

const wchar_t* RegistrationPrefix() {
  static wchar_t prefix[260] = {};
  if (prefix[0]) return prefix;
  wchar_t system[260] = {};
  UINT length = ::GetSystemDirectoryW(system, 260);
  if (length < 1 || length > 259) return prefix;
  // Quoted: the system folder may have a space in it.
  int written = _snwprintf(prefix, 259, L"\"%s\\%s\"%s", system, kRegsvr32, kSilentSwitch);
  if (written < 0 || written > 259) _snwprintf(prefix, 259, L"%s%s", kRegsvr32, kSilentSwitch);
  return prefix;
}

namespace {

// One DLL's registration: held from its check until its answer, so nobody
// swaps the file between.
struct Registration {
  std::wstring path;
  std::unique_ptr<HeldFile> held;
  HANDLE regsvr32 = nullptr;
  bool running = false;
  BOOL result = FALSE;
};

// Takes the answers of the started registrations, in the DLLs' order; one
// whose regsvr32 failed falls back to the DLL's own installer entry.
void FinishRegistrations(std::vector<Registration>& registrations) {
  for (Registration& registration : registrations) {
    if (!registration.running) continue;
    registration.running = false;
    registration.result = WaitForSuccess(registration.regsvr32) ||
                          (VerifyOrReport(registration.path) && CallDllInstall(registration.path));
    registration.held.reset();
  }
}

// A 64-bit DLL cannot be loaded into this 32-bit process: its fallback can
// only fail, so nothing it does has to come before the next registration.
bool FallbackCanAct(const wchar_t* fileName) {
  return wcscmp(fileName, shell_ext::kShellExt64) != 0 && wcscmp(fileName, shell_ext::kBar64) != 0;
}

}  // namespace

// The end is that of registering the DLLs one after the other: the DLLs
// after one that fails its check are never registered, and a fallback runs
// before any later DLL's registration. Only a 64-bit DLL's regsvr32 runs on
// beside the next DLL's.
std::vector<BOOL> RegisterDlls(const SetupContext& context,
                               std::initializer_list<const wchar_t*> fileNames) {
  const wchar_t* prefix = RegistrationPrefix();
  std::vector<Registration> registrations(fileNames.size());
  size_t next = 0;
  for (const wchar_t* fileName : fileNames) {
    Registration& registration = registrations[next++];
    registration.path = InstallPath(context, fileName);
    if (!PathExists(registration.path.c_str())) continue;
    registration.held.reset(new HeldFile(registration.path.c_str()));
    if (!IsTrustedFile(registration.path.c_str())) {
      // The report ends the installer: the DLLs before this one are
      // registered first, as they would be one after the other.
      FinishRegistrations(registrations);
      ReportCorruptedFile(registration.path.c_str(), kCorruptedFileTitle, TRUE);
      registration.held.reset();
      continue;
    }
    wchar_t command[520] = {};
    _snwprintf(command, 519, L"%s\"%s\"", prefix, registration.path.c_str());
    registration.regsvr32 = StartHidden(command);
    registration.running = true;
    if (FallbackCanAct(fileName)) FinishRegistrations(registrations);
  }
  FinishRegistrations(registrations);
  std::vector<BOOL> results;
  for (const Registration& registration : registrations) results.push_back(registration.result);
  return results;
}

// Before extraction: notes whether the installed toolbar is too old for the
// new extension and frees the DLL names the shell may still hold loaded.
std::vector<RetiredFile> SetupContext::PrepareShellExtensionUpdate() {
  shellExtOutdated = FALSE;
  if (!options.silent) {
    std::wstring bar = InstallPath(*this, shell_ext::kBar);
    if (PathExists(bar.c_str())) {
      std::wstring installed = ReadFileVersionText(bar.c_str());
      shellExtOutdated = CompareVersions(installed.c_str(), MinimumToolbarVersion(resources).c_str()) < 0;
    }
  }
  std::vector<RetiredFile> retired;
  for (const wchar_t* name :
       {shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64, shell_ext::kBar}) {
    RetiredFile file;
    RetireFile(*this, name, &file);
    if (file.movedToBackup || !file.keptCopy.empty()) retired.push_back(file);
  }
  // Only the shell extension matters to the shell restart; the toolbar is
  // loaded by browsers, not by the shell.
  bool leftOver = false;
  for (const wchar_t* name : {shell_ext::kShellExt, shell_ext::kShellExt64}) {
    std::wstring full = InstallPath(*this, name);
    leftOver = leftOver || PathExists(full.c_str()) || PathExists((full + L".bak").c_str());
  }
  shellExtCleared = !leftOver;
  return retired;
}

// Only what this run took away, and never over a DLL the extraction already
// brought: the moves do not replace.
void SetupContext::PutBackShellExtensions(const std::vector<RetiredFile>& retired) {
  for (const RetiredFile& file : retired) {
    if (file.movedToBackup) ::MoveFileExW((file.path + L".bak").c_str(), file.path.c_str(), 0);
    if (!file.keptCopy.empty()) {
      ::MoveFileExW(file.keptCopy.c_str(), file.path.c_str(), MOVEFILE_COPY_ALLOWED);
    }
  }
  DiscardRetiredCopies(retired);
}

void SetupContext::DiscardRetiredCopies(const std::vector<RetiredFile>& retired) {
  for (const RetiredFile& file : retired) {
    if (!file.keptCopy.empty()) ::DeleteFileW(file.keptCopy.c_str());
  }
}

BOOL SetupContext::RegisterShellExtensions() {
  if (IsWindows64Bit()) {
    return RegisterDlls(*this, {shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64,
                                shell_ext::kBar})
        .front();
  }
  return RegisterDlls(*this, {shell_ext::kShellExt, shell_ext::kBar}).front();
}

// When our own registration failed, the product registers its shell parts
// itself ("/reg"), elevated when it can be.
void SetupContext::RequestProductRegistration() {
  if (IsVistaOrLater() && !IsElevated()) return;
  if (!PathExists(productExe.c_str())) return;
  HeldFile held(productExe.c_str());
  if (!Restarted) {
    if (!VerifyOrReport(productExe)) return;
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof(request);
    request.fMask = kRunAsMask;
    request.lpVerb = L"runas";
    request.lpFile = productExe.c_str();
    request.lpParameters = L"/reg";
    request.nShow = SW_HIDE;
    if (Seam().ShellExecuteExW(&request)) return;
  }
  if (!VerifyOrReport(productExe)) return;
  wchar_t command[520] = {};
  _snwprintf(command, 519, L"\"%s\" %s", productExe.c_str(), L"/reg");
  RunAndWait(command, TRUE);
}
