#include "install/ShellRestart.h"

#include <shlwapi.h>
#include <wchar.h>

#include "install/OverlayLoad.h"
#include "install/ProcessList.h"
#include "install/RunAndWait.h"
#include "install/SetupContext.h"
#include "install/ShellAutomation.h"
#include "unpack/FileTrust.h"
#include "unpack/HeldFile.h"
#include "unpack/TrustedLaunch.h"
#include "util/TokenRights.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kShellExtensionMutex[] = L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}";
constexpr wchar_t kHandOverFile[] = L"55d7fdfb.ini";
constexpr int kShellWaitChecks = 60;

bool IsWindowsXp() {
  const OSVERSIONINFOEXW& version = WindowsVersion();
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 5 &&
         version.dwMinorVersion == 1;
}

// The folder the product last restarted the shell for; the file is used up.
std::wstring TakeHandOverFolder() {
  wchar_t temp[260] = {};
  if (!::GetTempPathW(260, temp)) return std::wstring();
  ::PathRemoveBackslashW(temp);
  wchar_t file[260] = {};
  _snwprintf(file, 259, L"%s\\%s", temp, kHandOverFile);
  wchar_t folder[260] = {};
  if (::GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES) {
    ::GetPrivateProfileStringW(L"main", L"instpath", L"", folder, 260, file);
    ::DeleteFileW(file);
  }
  return folder;
}

// The loaded extension holds its mutex; creating it tells whether it exists.
bool ShellExtensionLoaded() {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kShellExtensionMutex);
  DWORD error = ::GetLastError();
  if (mutex) ::CloseHandle(mutex);
  return error == ERROR_ALREADY_EXISTS;
}

}  // namespace

BOOL ShouldRestartExplorer(const SetupContext& context) {
  if (context.shellExtOutdated) {
    if (IsWindowsXp()) return FALSE;
    if (context.installMode == kFreshInstall && LoadOverlaysIfRoom()) return FALSE;
    if (!context.shellExtCleared) return FALSE;
  }
  // An unattended update must not take the user's desktop away.
  if (context.options.silent &&
      (context.installMode == kUpgrade || context.installMode == kOverwrite)) {
    return FALSE;
  }
  std::wstring handedOver = TakeHandOverFolder();
  if (lstrcmpiW(handedOver.c_str(), context.installDir.c_str()) == 0) return FALSE;
  return ShellExtensionLoaded();
}

// The product restarts the shell ("/explorer"). An elevated installer asks
// the running shell to start it, so that neither the product nor the shell
// it restarts runs elevated; without the shell's help it is not started.
void SetupContext::RefreshShellStep() {
  LoadOverlaysIfRoom();
  if (!ShouldRestartExplorer(*this)) return;
  HeldFile held(productExe.c_str());
  if (!ConfirmTrustedOrReport(productExe.c_str())) return;
  wchar_t file[260] = {};
  _snwprintf(file, 259, L"\"%s\"", productExe.c_str());
  wchar_t command[520] = {};
  _snwprintf(command, 519, L"\"%s\" %s", productExe.c_str(), L"/explorer");

  if (IsVistaOrLater() && IsElevated()) {
    if (!ShellExecuteThroughDesktopShell(file, L"/explorer", SW_HIDE)) return;
  } else {
    RunAndWait(command, TRUE);
  }
  ::Sleep(1000);
  // Give the shell a moment to come back before the product starts.
  for (int check = 0; check < kShellWaitChecks; ++check) {
    if (ProcessExistsInSnapshot(L"Explorer.exe")) break;
    ::Sleep(100);
  }
}
