#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "install/ProductNames.h"
#include "install/RegistryNames.h"
#include "install/SetupContext.h"
#include "install/ShellLink.h"
#include "install/ShellVerbs.h"
#include "util/FolderOps.h"
#include "util/SystemSeam.h"
#include "util/VersionCompare.h"
#include "util/WindowsVersion.h"

namespace {

// Upgrades from versions before this one recreate the shortcuts.
constexpr wchar_t kShortcutLayoutVersion[] = L"2.0.0.1125";
constexpr wchar_t kQuickLaunchFolder[] = L"Microsoft\\Internet Explorer\\Quick Launch";
constexpr wchar_t kFormerTaskbarPin[] =
    L"Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\Kelvo安全云盘同步版.lnk";
constexpr wchar_t kFormerFavouritesLink[] = L"links\\Kelvo安全云盘同步版.lnk";
constexpr UINT kFlushNoWait = SHCNF_FLUSH | SHCNF_FLUSHNOWAIT;

std::wstring Format2(const wchar_t* format, const std::wstring& a, const std::wstring& b) {
  wchar_t text[260] = {};
  _snwprintf(text, 259, format, a.c_str(), b.c_str());
  return text;
}

std::wstring Join(const std::wstring& folder, const wchar_t* relative) {
  wchar_t path[260] = {};
  ::PathCombineW(path, folder.c_str(), relative);
  return path;
}

bool Exists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool IsWindows7OrLater() {
  const OSVERSIONINFOEXW& v = WindowsVersion();
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         (v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion != 0));
}

void NotifyAssociationsChanged() {
  Seam().SHChangeNotify(SHCNE_ASSOCCHANGED, kFlushNoWait, nullptr, nullptr);
}

// Renames a file with the shell, as Explorer would; paths double-NUL terminated.
bool ShellRename(const std::wstring& from, const std::wstring& to) {
  std::wstring source = from + L'\0';
  std::wstring target = to + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_RENAME;
  operation.pFrom = source.c_str();
  operation.pTo = target.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return ::SHFileOperationW(&operation) == 0;
}

// The Quick Launch link under its current name replaces the former one.
void WriteQuickLaunchLink(const std::wstring& appDataDir, const std::wstring& productName,
                          const std::wstring& productExe) {
  std::wstring quickLaunch = Join(appDataDir, kQuickLaunchFolder);
  ::DeleteFileW(Format2(L"%s\\%s.lnk", quickLaunch, product::kFormerName).c_str());
  CreateLink(productExe.c_str(), Format2(L"%s\\%s.lnk", quickLaunch, productName).c_str(),
             nullptr);
}

// Moves the taskbar pin from the former name to the desktop link. Windows 10
// has no "taskbarpin" verb: its context-menu verbs are run inside the shell.
void PinDesktopLink(const std::wstring& appDataDir, const std::wstring& desktopLink) {
  if (!IsWindows7OrLater()) return;
  std::wstring formerPin = Join(appDataDir, kFormerTaskbarPin);
  if (Exists(formerPin)) {
    Seam().ShellExecuteW(nullptr, L"taskbarunpin", formerPin.c_str(), nullptr, nullptr, 0);
    ::DeleteFileW(formerPin.c_str());
  }
  if (WindowsMajorVersion() >= 10) {
    InvokeTaskbarVerb(kUnpinVerb, desktopLink.c_str());
    InvokeStartVerb(kUnpinVerb, desktopLink.c_str());
    InvokeStartVerb(kPinVerb, desktopLink.c_str());
  } else {
    Seam().ShellExecuteW(nullptr, L"taskbarpin", desktopLink.c_str(), nullptr, nullptr, 0);
  }
}

// The favourites-bar link of the product's former name goes on Windows 7 and
// later; Explorer is told so that the bar redraws.
void RemoveFormerFavouritesLink() {
  if (!IsWindows7OrLater()) return;
  wchar_t profile[260] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, profile, CSIDL_PROFILE, FALSE)) return;
  std::wstring link = Join(profile, kFormerFavouritesLink);
  if (!Exists(link)) return;
  ::DeleteFileW(link.c_str());
  Seam().SHChangeNotify(SHCNE_INTERRUPT | SHCNE_DELETE, SHCNF_PATHW | SHCNF_FLUSH, link.c_str(),
                        nullptr);
  std::wstring folder = link.substr(0, link.find_last_of(L'\\'));
  Seam().SHChangeNotify(SHCNE_INTERRUPT | SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH,
                        folder.c_str(), nullptr);
}

}  // namespace

void SetupContext::CreateShortcuts() {
  const BOOL silent = options.silent;
  const std::wstring startMenuLink = Format2(L"%s\\%s.lnk", startMenuDir, productName);
  const std::wstring uninstallLink = Format2(L"%s\\卸载%s.lnk", startMenuDir, productName);
  const std::wstring desktopLink = Format2(L"%s\\%s.lnk", desktopDir, productName);
  const wchar_t* exe = productExe.c_str();

  bool redoStartMenu = false;
  bool redoDesktop = false;
  bool redoQuickLaunch = false;

  if (installMode == kFreshInstall) {
    redoDesktop = true;
    redoQuickLaunch = true;
  } else if (formerNameInstalled) {
    // The former group sits beside ours under "Kelvo安全中心".
    std::wstring group = startMenuDir.substr(0, startMenuDir.find_last_of(L'\\'));
    std::wstring formerGroup = group + L"\\" + product::kFormerName;
    if (Exists(formerGroup)) {
      DeleteDirectoryTree(formerGroup.c_str());
      redoStartMenu = true;
    }
    if (!LinkPointsAt(startMenuLink.c_str(), exe)) redoStartMenu = true;
    std::wstring formerDesktopLink =
        Format2(L"%s\\%s.lnk", desktopDir, product::kFormerName);
    if (Exists(formerDesktopLink)) {
      if (!ShellRename(formerDesktopLink, desktopLink)) ::DeleteFileW(formerDesktopLink.c_str());
      redoDesktop = true;
    }
    if (!LinkPointsAt(desktopLink.c_str(), exe)) redoDesktop = true;
    redoQuickLaunch = installMode == kUpgrade;
  } else if (installMode == kUpgrade &&
             CompareVersions(previousVersion.c_str(), kShortcutLayoutVersion) < 0) {
    if (Exists(startMenuLink)) redoStartMenu = true;
    if (Exists(desktopLink)) {
      ::DeleteFileW(desktopLink.c_str());
      redoDesktop = true;
    }
    redoQuickLaunch = true;
  } else {
    RemoveFormerFavouritesLink();
    return;
  }

  if (installMode == kFreshInstall || redoStartMenu) {
    if (!Exists(startMenuDir)) CreateFolderTree(startMenuDir.c_str());
    if (Exists(startMenuDir)) {
      CreateLink(exe, startMenuLink.c_str(), nullptr);
      CreateLink(Join(installDir, registry_names::kUninstaller).c_str(), uninstallLink.c_str(),
                 nullptr);
    }
  }

  if (redoDesktop && !LinkPointsAt(desktopLink.c_str(), exe)) {
    CreateLink(exe, desktopLink.c_str(), nullptr);
    if (!silent) NotifyAssociationsChanged();
  }

  if (redoDesktop && redoQuickLaunch) {
    WriteQuickLaunchLink(appDataDir, productName, productExe);
    PinDesktopLink(appDataDir, desktopLink);
    if (!silent) NotifyAssociationsChanged();
  }

  RemoveFormerFavouritesLink();
}

void SetupContext::CreateDesktopShortcut() {
  CreateLink(productExe.c_str(), Format2(L"%s\\%s.lnk", desktopDir, productName).c_str(), nullptr);
  if (!options.silent) NotifyAssociationsChanged();
}
