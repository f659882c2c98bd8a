#include "unpack/ArchiveLibrary.h"

#include <shlwapi.h>

#include "unpack/FolderDacl.h"
#include "unpack/ProductFolderDacl.h"
#include "unpack/ResourceUnpack.h"
#include "unpack/ResourceUnpackEx.h"
#include "unpack/TempPath.h"
#include "unpack/TrustedLoad.h"
#include "util/FolderOps.h"

namespace {

HMODULE g_library = nullptr;

// Without rights the copy lies in the user's temporary folder, which every
// program of the user's may write: it is loaded only while it is still the
// signed library packed here, checked and loaded under one hold.
bool LoadLibraryFile(const wchar_t* path) {
  if (g_library) return true;
  g_library = LoadTrustedLibrary(path);
  return g_library != nullptr;
}

}  // namespace

HMODULE ArchiveLibraryHandle() { return g_library; }

bool ArchiveLibrary::LoadArchiveLibrary(HMODULE module, const wchar_t* name, const wchar_t* type) {
  CResourceUnpack unpack;
  if (!unpack.LoadFromResource(module, name, type)) return false;
  std::wstring folder;
  if (!unpack.UnpackToTemp(folder, false)) return false;

  // The library lives under a "{GUID}.tmp" name, not under its own.
  std::wstring unpacked = folder + L"\\7z.dll";
  std::wstring copy;
  MakeTempPath(copy);
  ::DeleteFileW(copy.c_str());
  ::MoveFileW(unpacked.c_str(), copy.c_str());
  DeleteDirectoryTreeDeferred(folder.c_str());

  libraryPath_ = copy;
  LoadLibraryFile(libraryPath_.c_str());
  loaded_ = true;
  ::MoveFileExW(libraryPath_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}

void ArchiveLibrary::FreeLoadedLibrary() {
  if (!loaded_) return;
  if (g_library && ::FreeLibrary(g_library)) g_library = nullptr;
  loaded_ = false;
}

bool ArchiveLibrary::ExtractMainArchive(HMODULE module, const wchar_t* name, const wchar_t* type,
                                        const std::wstring& installFolder,
                                        ExtractedItems* record) {
  CResourceUnpackEx unpack;
  if (!unpack.LoadFromResource(module, name, type)) return false;
  // The product folder has its permissions before the first file goes in;
  // what the moves bring along is made to take them afterwards.
  std::wstring commonFolder;
  const bool inCommonFolder =
      spreadPermissions && InMakersCommonFolder(installFolder, &commonFolder);
  const bool protectedFolder =
      spreadPermissions && !inCommonFolder && ProtectProductFolder(installFolder.c_str());
  const bool permissionsFollow =
      protectedFolder ||
      (inCommonFolder && FolderDaclApplies(installFolder.c_str(), commonFolder.c_str()));
  bool result = unpack.Unpack(installFolder, true, record, permissionsFollow);
  FreeLoadedLibrary();
  // Done before the extraction reports back: nothing may register, start or
  // record the product while its files still change.
  if (protectedFolder) {
    // Set by name once more, the folder's DACL is handed down by Windows to
    // everything below it: what the moves brought from the work folder is
    // replaced, in one call instead of one for every item.
    ProtectProductFolder(installFolder.c_str());
  } else if (inCommonFolder && !CopyFolderDacl(installFolder.c_str(), commonFolder.c_str())) {
    // No copy on XP: what came from the work folder (Administrators and
    // SYSTEM only) still takes what the product folder hands down.
    InheritDaclBelow(installFolder.c_str());
  }
  return result;
}

void ArchiveLibrary::ReleaseArchiveLibrary() {
  FreeLoadedLibrary();
  if (libraryPath_.empty() || !::PathFileExistsW(libraryPath_.c_str())) return;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (::DeleteFileW(libraryPath_.c_str())) return;
    ::Sleep(10);
  }
  if (::PathFileExistsW(libraryPath_.c_str())) {
    ::MoveFileExW(libraryPath_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}
