#include "app/PreChecks.h"

#include "app/InstallApp.h"
#include "app/UnsupportedWindows.h"
#include "install/ProductNames.h"
#include "ui/ScanNotice.h"
#include "util/SystemSeam.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kNewerInstalledText[] =
    L"您要安装的版本比已经安装的版本低，覆盖安装将造成无法使用。\n请您到官方网站下载最新版。";
constexpr wchar_t kNeedsAdministratorText[] = L"请使用管理员权限进行安装！";
constexpr wchar_t kWindows9xText[] =
    L"检测到您的操作系统是Windows 98/Me/NT4，本软件不支持该平台。";
constexpr wchar_t kWindows2000Text[] =
    L"检测到您的操作系统是Windows2000 SP4以下版本，本软件不支持该平台。";

BOOL Refuse(const InstallOptions& options, const wchar_t* text, UINT style) {
  if (!options.silent) Seam().MessageBoxW(nullptr, text, product::kInstallerTitle, style);
  return FALSE;
}

}  // namespace

BOOL RunPreChecks(SetupContext& context, const InstallOptions& options,
                  const OSVERSIONINFOEXW& windows) {
  if (context.installMode == kNewerInstalled) {
    // Points the shell back at the newer copy that stays installed.
    context.WriteAppPath();
    return Refuse(options, kNewerInstalledText, MB_OK | MB_ICONINFORMATION);
  }
  if (context.installMode == kFreshInstall && !options.canWriteMachineRegistry) {
    return Refuse(options, kNeedsAdministratorText, MB_OK | MB_ICONWARNING);
  }
  if (IsWindows9x(windows)) return Refuse(options, kWindows9xText, MB_OK | MB_ICONERROR);
  if (IsWindows2000(windows)) return Refuse(options, kWindows2000Text, MB_OK | MB_ICONERROR);
  if (!options.silent && IsScanInProgress()) ScanNotice(nullptr);
  return TRUE;
}

BOOL RunPreChecks() {
  CInstallApp& app = App();
  return RunPreChecks(app.context, app, WindowsVersion());
}
