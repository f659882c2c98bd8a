#include "unpack/Cabinet.h"

#include <setupapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

namespace {

// The iteration's context: where to expand, and whether we stopped it (so a
// stop counts as failure whatever the cabinet API makes of it).
struct CabinetExpansion {
  const wchar_t* destination;
  bool stopped;
};

UINT OnFileInCabinet(CabinetExpansion* expansion, FILE_IN_CABINET_INFO_W* info) {
  const wchar_t* destination = expansion->destination;
  expansion->stopped = true;
  if (StrStrIW(info->NameInCabinet, L"..")) return FILEOP_ABORT;
  wchar_t target[MAX_PATH] = {};
  if (!::PathCombineW(target, destination, info->NameInCabinet)) return FILEOP_ABORT;
  if (!::PathIsPrefixW(destination, target)) return FILEOP_ABORT;
  expansion->stopped = false;
  wmemset(info->FullTargetName, L'\0', MAX_PATH);
  wcsncpy(info->FullTargetName, target, MAX_PATH - 1);
  wchar_t parent[MAX_PATH] = {};
  wcsncpy(parent, target, MAX_PATH - 1);
  ::PathRemoveFileSpecW(parent);
  ::SHCreateDirectoryExW(nullptr, parent, nullptr);
  // The new file replaces an existing one whole, shorter or not.
  ::DeleteFileW(target);
  return FILEOP_DOIT;
}

}  // namespace

UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  switch (notification) {
    case SPFILENOTIFY_FILEINCABINET:
      return OnFileInCabinet(static_cast<CabinetExpansion*>(context),
                             reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1));
    case SPFILENOTIFY_NEEDNEWCABINET:
      // Cabinet sets spanning several files are not ours.
      static_cast<CabinetExpansion*>(context)->stopped = true;
      return ERROR_INVALID_PARAMETER;
    case SPFILENOTIFY_FILEEXTRACTED:
      // A failed file ends the iteration.
      return reinterpret_cast<FILEPATHS_W*>(param1)->Win32Error;
    default:
      return NO_ERROR;
  }
}

bool ExtractCabinet(const wchar_t* cabinetPath, const wchar_t* destination) {
  if (!cabinetPath || !*cabinetPath || !destination || !*destination) return false;
  CabinetExpansion expansion = {destination, false};
  BOOL iterated = ::SetupIterateCabinetW(cabinetPath, 0, CabinetCallback, &expansion);
  return iterated && !expansion.stopped;
}
