#pragma once
#include <windows.h>

#include <string>

#include "unpack/ExtractedItems.h"

// The 7z library: unpacked from its cabinet resource into a "{GUID}.tmp"
// copy, loaded for one extraction at a time, deleted when no longer needed.
class ArchiveLibrary {
 public:
  // True when the cabinet was found and unpacked; whether the load itself
  // worked shows in ArchiveLibraryHandle(). Sets loaded either way.
  bool LoadArchiveLibrary(HMODULE module, const wchar_t* name, const wchar_t* type);
  // Extracts the archive resource into installFolder through a staging
  // folder, then unloads the library. With record, what the extraction
  // creates is noted there. Every file has its folder permissions on return.
  bool ExtractMainArchive(HMODULE module, const wchar_t* name, const wchar_t* type,
                          const std::wstring& installFolder, ExtractedItems* record = nullptr);
  // Unloads the library and deletes its temporary copy (or leaves that to
  // the next restart).
  void ReleaseArchiveLibrary();

  const std::wstring& libraryPath() const { return libraryPath_; }
  // Whether an extraction gives the installed tree its folder permissions:
  // only with the right to write the machine's records.
  bool spreadPermissions = true;
  bool loaded() const { return loaded_; }

 private:
  void FreeLoadedLibrary();

  std::wstring libraryPath_;
  bool loaded_ = false;
};

// The process-wide handle of the loaded 7z library; null when not loaded.
HMODULE ArchiveLibraryHandle();
