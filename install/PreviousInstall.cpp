#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "install/ProductFolder.h"
#include "install/ProductNames.h"
#include "install/RegistryNames.h"
#include "install/SetupContext.h"
#include "unpack/FileTrust.h"
#include "unpack/ProductFolderDacl.h"
#include "util/ElevationFlags.h"
#include "util/FileVersion.h"
#include "util/VersionCompare.h"

namespace {

// A REG_SZ value read into a 260-character buffer; false when it is missing.
bool ReadText(HKEY root, const wchar_t* key, const wchar_t* value, std::wstring* out) {
  wchar_t data[260] = {};
  DWORD type = 0;
  DWORD size = sizeof(data) - sizeof(wchar_t);
  if (::SHGetValueW(root, key, value, &type, data, &size) != ERROR_SUCCESS) return false;
  out->assign(data);
  return true;
}

std::wstring MainExeIn(const std::wstring& folder) {
  wchar_t path[260] = {};
  ::PathCombineW(path, folder.c_str(), product::kMainExe);
  return path;
}

bool FileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

// The folder that holds the maker's programs: next to the security suite when
// it is installed, else "Kelvo" under Program Files (per user in GreenMode).
std::wstring DefaultBaseFolder() {
  wchar_t base[260] = {};
  if (GreenMode) {
    ::SHGetSpecialFolderPathW(nullptr, base, CSIDL_APPDATA, FALSE);
    ::PathAppendW(base, registry_names::kMakerFolder);
    return base;
  }
  std::wstring suite;
  if (ReadText(HKEY_LOCAL_MACHINE, registry_names::kSuiteAppPathsKey, nullptr, &suite) &&
      !suite.empty() && FileExists(suite)) {
    wcsncpy(base, suite.c_str(), 259);
    ::PathRemoveFileSpecW(base);  // the suite's file name
    ::PathRemoveFileSpecW(base);  // the suite's own folder
    return base;
  }
  ::SHGetSpecialFolderPathW(nullptr, base, CSIDL_PROGRAM_FILES, FALSE);
  ::PathAppendW(base, registry_names::kMakerFolder);
  return base;
}

bool IsDriveRoot(const std::wstring& folder) {
  wchar_t root[262] = {};
  wcsncpy(root, folder.c_str(), 259);
  ::PathAddBackslashW(root);
  return ::PathIsRootW(root) != FALSE;
}

// A silent install's "/D=" folder, when it exists or can be created. A file
// of that name is no folder to install into. One made here for a
// machine-wide install is closed to everyone but administrators at once: it
// waits for the payload while the agreement dialog shows.
bool UsableOverrideFolder(const std::wstring& folder, bool machineWide) {
  if (::PathIsDirectoryW(folder.c_str())) return true;
  if (FileExists(folder)) return false;
  if (::SHCreateDirectory(nullptr, folder.c_str()) != ERROR_SUCCESS) return false;
  std::wstring commonFolder;
  if (machineWide && !InMakersCommonFolder(folder, &commonFolder)) {
    ProtectProductFolder(folder.c_str());
  }
  return true;
}

}  // namespace

void SetupContext::LocatePreviousInstall(INT32* mode, std::wstring* folder,
                                         std::wstring* defaultFolder) {
  *mode = kFreshInstall;
  folder->clear();
  defaultFolder->clear();

  // An installed copy counts only when its main executable passes the maker's
  // signature check; its version then decides the mode.
  auto recognise = [&](const std::wstring& exe) {
    if (!IsTrustedFile(exe.c_str())) return false;
    previousVersion = ReadFileVersionText(exe.c_str());
    switch (CompareVersions(previousVersion.c_str(), options.ownVersion.c_str())) {
      case -1: *mode = kUpgrade; break;
      case 0: *mode = kOverwrite; break;
      default: *mode = kNewerInstalled; break;
    }
    return true;
  };

  std::wstring chosen;
  std::wstring registered;
  if (ReadText(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation", &registered) &&
      !registered.empty() && !GreenMode && FileExists(MainExeIn(registered)) && recognise(MainExeIn(registered))) {
    chosen = registered;
  } else {
    chosen = DefaultBaseFolder() + L"\\" + registry_names::kDefaultFolderName;
    if (!GreenMode && !(FileExists(MainExeIn(chosen)) && recognise(MainExeIn(chosen)))) {
      if (options.silent && !options.installDirOverride.empty() &&
          !IsDriveRoot(options.installDirOverride)) {
        // Named for the product already here, as the install click names it:
        // the payload is pre-extracted where it stays, and never into a
        // folder of the user's that a move elsewhere would have to clear.
        std::wstring target = NormalizeProductFolder(options.installDirOverride);
        if (UsableOverrideFolder(target, options.canWriteMachineRegistry != FALSE)) chosen = target;
      }
    }
  }
  *folder = chosen;
  *defaultFolder = chosen;
}
