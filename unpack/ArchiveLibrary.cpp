#include "unpack/ArchiveLibrary.h"

#include <shlwapi.h>
#include <wchar.h>

#include "unpack/FolderDacl.h"
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

// Where to copy the install folder's permissions from: a parent folder named
// like the maker's common folder lends its own, otherwise the folder keeps
// (and spreads) what it has.
std::wstring PermissionSource(const std::wstring& installFolder) {
  wchar_t parent[MAX_PATH] = {};
  wcsncpy(parent, installFolder.c_str(), MAX_PATH - 1);
  ::PathRemoveFileSpecW(parent);
  size_t length = wcslen(parent);
  if (length >= 5 && wcscmp(parent + length - 5, L"Kelvo") == 0) return parent;
  return installFolder;
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
  const std::wstring permissionSource = PermissionSource(installFolder);
  const bool permissionsFollow =
      spreadPermissions && FolderDaclApplies(installFolder.c_str(), permissionSource.c_str());
  bool result = unpack.Unpack(installFolder, true, record, permissionsFollow);
  FreeLoadedLibrary();
  if (spreadPermissions) permissions_.Start(installFolder, permissionSource);
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
