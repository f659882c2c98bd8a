#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "app/Elevation.h"
#include "app/ElevationFlags.h"
#include "app/InstallApp.h"
#include "app/SetupContext.h"
#include "install/ProcessList.h"
#include "install/ShellAutomation.h"
#include "install/StartProcess.h"
#include "unpack/FileTrust.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kUpdateToolbarSwitch[] = L"/updatepro /protype=2";
constexpr wchar_t kAutoStartSwitch[] = L"/autostart";
constexpr wchar_t kRenameTipSwitch[] = L"/renametip";
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Kelvocloudenterprisebox";
constexpr wchar_t kTrustReportTitle[] = L"Kelvo安全卫士";

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

// The same Run value the start-with-Windows choice writes.
void WriteRunValue(const std::wstring& productExe) {
  wchar_t data[520] = {};
  _snwprintf(data, 519, L"\"%s\" /autostart", productExe.c_str());
  ::SHSetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, data,
                static_cast<DWORD>(lstrlenW(data) * sizeof(wchar_t)));
}

bool ReportIfDamaged(const std::wstring& path) {
  if (IsTrustedFile(path.c_str())) return false;
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  ReportCorruptedFile(path.c_str(), kTrustReportTitle, TRUE);
  return true;
}

}  // namespace

// Starts the product with the switches this install calls for, through the
// running shell where the installer is elevated, so that the product gets
// the user's ordinary rights.
void SetupContext::PostInstallLaunch() {
  const CInstallApp& app = App();
  std::wstring quoted = L"\"" + productExe + L"\"";
  std::wstring command = quoted;
  std::wstring arguments;
  bool launch = false;
  bool writeRun = false;

  FlagIntroIfChanged(*this);

  if (app.silent) {
    if (app.silentRun) {
      launch = true;
      if (shellExtOutdated) {
        command += std::wstring(L" ") + kUpdateToolbarSwitch;
        arguments = kUpdateToolbarSwitch;
      }
      if (installMode == kUpgrade || installMode == kOverwrite) {
        command += std::wstring(L" ") + kAutoStartSwitch;
        arguments += std::wstring(L" ") + kAutoStartSwitch;
      }
    }
    writeRun = lstrcmpiW(app.pid, L"fromui") == 0;
  } else {
    if (launchAfterInstall) {
      launch = true;
      if (shellExtOutdated) {
        command += std::wstring(L" ") + kUpdateToolbarSwitch;
        arguments = kUpdateToolbarSwitch;
      }
    }
    writeRun = autoStart != FALSE;
  }
  if (formerNameInstalled) {
    command += std::wstring(L" ") + kRenameTipSwitch;
    arguments = kRenameTipSwitch;
  }
  if (writeRun) WriteRunValue(productExe);
  if (!launch) return;

  if (GreenMode) {
    // Without administrator rights there is no elevation to shed, and the
    // product starts plainly.
    if (::GetFileAttributesW(productExe.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (ReportIfDamaged(productExe)) return;
    ::ShellExecuteW(nullptr, nullptr, productExe.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  if (ReportIfDamaged(productExe)) return;
  if (IsVistaOrLater() && IsElevated() && ProcessExistsInSnapshot(L"Explorer.exe")) {
    IShellDispatch2* shell = GetExplorerShellDispatch();
    BOOL started = ShellExecuteInExplorer(shell, quoted.c_str(),
                                          arguments.empty() ? nullptr : arguments.c_str(),
                                          SW_SHOWDEFAULT);
    if (shell) shell->Release();
    if (started) return;
  }
  StartProcess(command.c_str());
}
