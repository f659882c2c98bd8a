#include "install/SetupContext.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "install/ProductNames.h"

namespace {

constexpr wchar_t kStartMenuGroup[] = L"Kelvo安全中心";
constexpr wchar_t kIntroUi[] = L"KelvoCloudIntro.ui";
constexpr wchar_t kIntroXml[] = L"KelvoCloudIntro.xml";

std::wstring SpecialFolder(int csidl) {
  wchar_t path[260] = {};
  ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

// The size of a file of the installed product, -1 when it cannot be opened.
INT64 InstalledFileSize(const std::wstring& folder, const wchar_t* name) {
  wchar_t path[260] = {};
  ::PathCombineW(path, folder.c_str(), name);
  HANDLE file = ::CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  LARGE_INTEGER size = {};
  INT64 result = ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
  ::CloseHandle(file);
  return result;
}

}  // namespace

void SetupContext::SetUp() {
  wchar_t displayName[260] = {};
  DWORD type = 0;
  DWORD size = sizeof(displayName) - sizeof(wchar_t);
  formerNameInstalled =
      ::SHGetValueW(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayName", &type, displayName,
                    &size) == ERROR_SUCCESS &&
      wcscmp(displayName, product::kFormerName) == 0;

  productName = product::kName;
  wchar_t group[260] = {};
  _snwprintf(group, 259, L"%s\\%s\\%s", SpecialFolder(CSIDL_PROGRAMS).c_str(), kStartMenuGroup,
             productName.c_str());
  startMenuDir = group;
  desktopDir = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  appDataDir = SpecialFolder(CSIDL_APPDATA);

  LocatePreviousInstall(&installMode, &installDir, &defaultInstallDir);

  // The intro files an upgrade is about to replace; the launch compares them.
  if (installMode == kUpgrade) {
    introSnapshotTaken = TRUE;
    introUiSize = InstalledFileSize(installDir, kIntroUi);
    introXmlSize = InstalledFileSize(installDir, kIntroXml);
  }

  wchar_t exe[260] = {};
  _snwprintf(exe, 259, L"%s\\%s", installDir.c_str(), product::kMainExe);
  productExe = exe;
}
