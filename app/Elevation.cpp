#include "app/Elevation.h"

#include <shellapi.h>
#include <wchar.h>

#include <string>

#include "unpack/FileTrust.h"
#include "unpack/TrustedLaunch.h"
#include "util/ElevationFlags.h"
#include "util/SystemSeam.h"
#include "util/TokenRights.h"
#include "util/WindowsVersion.h"

namespace {

constexpr wchar_t kRestartSwitch[] = L"/restart";
// The mask the product's own elevated starts use as well.
constexpr ULONG kRunAsMask = 0x00001000;

}  // namespace

// Here any major version above 5 counts, whatever the platform.
bool HasAdministratorRights() {
  return IsAdministrator() || (WindowsMajorVersion() > 5 && IsElevated());
}

int Elevate(const wchar_t* argumentString, int showCommand) {
  if (HasAdministratorRights()) return 0;
  const wchar_t* arguments = argumentString ? argumentString : L"";
  // The relaunched copy never relaunches again, whatever rights it got.
  if (wcsstr(arguments, kRestartSwitch)) {
    Restarted = TRUE;
    GreenMode = TRUE;
    return 0;
  }

  wchar_t self[260] = {};
  ::GetModuleFileNameW(nullptr, self, 260);
  std::wstring parameters = std::wstring(arguments) + L" " + kRestartSwitch;
  SHELLEXECUTEINFOW relaunch = {};
  relaunch.cbSize = sizeof(relaunch);
  relaunch.fMask = kRunAsMask;
  relaunch.lpVerb = L"runas";
  relaunch.lpFile = self;
  relaunch.lpParameters = parameters.c_str();
  relaunch.nShow = showCommand;

  if (IsTrustedFile(self)) {
    if (Seam().ShellExecuteExW(&relaunch)) return 1;
  } else if (::GetFileAttributesW(self) != INVALID_FILE_ATTRIBUTES) {
    ReportCorruptedFile(self, kCorruptedFileTitle, TRUE);
  }
  // Declining the prompt means "install for me only".
  if (::GetLastError() == ERROR_CANCELLED) GreenMode = TRUE;
  return 0;
}
