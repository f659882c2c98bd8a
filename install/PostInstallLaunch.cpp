#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "install/PostInstallLaunch.h"
#include "install/ProcessList.h"
#include "install/SetupContext.h"
#include "install/ShellAutomation.h"
#include "install/StartProcess.h"
#include "unpack/FileTrust.h"
#include "unpack/HeldFile.h"
#include "unpack/TrustedLaunch.h"
#include "util/ElevationFlags.h"
#include "util/TokenRights.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kUpdateToolbarSwitch[] = L"/updatepro /protype=2";
constexpr wchar_t kAutoStartSwitch[] = L"/autostart";
constexpr wchar_t kRenameTipSwitch[] = L"/renametip";
constexpr int kShellAttempts = 20;
constexpr DWORD kShellRetryMs = 500;

// Size of one file of the install folder, -1 when it cannot be opened.
INT64 FileSize(const std::wstring& folder, const wchar_t* name) {
  wchar_t path[260] = {};
  if (!::PathCombineW(path, folder.c_str(), name)) return -1;
  HANDLE file = ::CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  LARGE_INTEGER size = {};
  INT64 result = ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
  ::CloseHandle(file);
  return result;
}

// New intro files mean the product should show its introduction again.
void FlagIntroIfChanged(const SetupContext& context) {
  if (!context.introSnapshotTaken) return;
  if (FileSize(context.installDir, L"KelvoCloudIntro.ui") == context.introUiSize &&
      FileSize(context.installDir, L"KelvoCloudIntro.xml") == context.introXmlSize) {
    return;
  }
  wchar_t appData[260] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) return;
  wchar_t settings[260] = {};
  _snwprintf(settings, 259, L"%s\\KelvoCloudEnterpriseBox\\uiconfig.ini", appData);
  if (::GetFileAttributesW(settings) == INVALID_FILE_ATTRIBUTES) return;
  ::WritePrivateProfileStringW(L"setting", L"ShowIntro", L"1", settings);
}

}  // namespace

LaunchRequest BuildLaunchRequest(const SetupContext& context, const InstallOptions& options) {
  LaunchRequest request;
  request.file = L"\"" + context.productExe + L"\"";
  request.command = request.file;
  if (options.silent) {
    if (options.silentRun) {
      request.launch = true;
      if (context.shellExtOutdated) {
        request.command += std::wstring(L" ") + kUpdateToolbarSwitch;
        request.arguments = kUpdateToolbarSwitch;
      }
      if (context.installMode == kUpgrade || context.installMode == kOverwrite) {
        request.command += std::wstring(L" ") + kAutoStartSwitch;
        request.arguments += std::wstring(L" ") + kAutoStartSwitch;
      }
    }
    request.writeRun = lstrcmpiW(options.pid, L"fromui") == 0;
  } else {
    if (context.launchAfterInstall) {
      request.launch = true;
      if (context.shellExtOutdated) {
        request.command += std::wstring(L" ") + kUpdateToolbarSwitch;
        request.arguments = kUpdateToolbarSwitch;
      }
    }
    request.writeRun = context.autoStart != FALSE;
  }
  // The product tells the user about its new name once.
  if (context.formerNameInstalled) {
    request.command += std::wstring(L" ") + kRenameTipSwitch;
    request.arguments = kRenameTipSwitch;
  }
  return request;
}

// Starts the product with the switches this install calls for, through the
// running shell where the installer is elevated, so that the product gets
// the user's ordinary rights.
void SetupContext::PostInstallLaunch() {
  FlagIntroIfChanged(*this);
  LaunchRequest request = BuildLaunchRequest(*this, options);
  if (request.writeRun) WriteAutoStartEntry();
  if (!request.launch) return;

  // Checked and started under one hold: what starts is what was checked.
  HeldFile held(productExe.c_str());
  if (GreenMode) {
    // Without administrator rights there is no elevation to shed, and the
    // product starts plainly.
    if (::GetFileAttributesW(productExe.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!ConfirmTrustedOrReport(productExe.c_str())) return;
    ::ShellExecuteW(nullptr, nullptr, productExe.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  if (!ConfirmTrustedOrReport(productExe.c_str())) return;
  if (IsVistaOrLater() && IsElevated()) {
    // A shell the product has just restarted runs before its desktop and
    // automation objects are back; it gets a few seconds to answer, since
    // without its desktop window the direct start has no token to take.
    for (int attempt = 0; attempt < kShellAttempts; ++attempt) {
      if (attempt) ::Sleep(kShellRetryMs);
      if (!ProcessExistsInSnapshot(L"Explorer.exe")) break;
      if (ShellExecuteThroughDesktopShell(
              request.file.c_str(), request.arguments.empty() ? nullptr : request.arguments.c_str(),
              SW_SHOWDEFAULT)) {
        return;
      }
      if (::GetShellWindow()) break;
    }
  }
  StartProcess(request.command.c_str());
}
