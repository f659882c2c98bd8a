#include "unpack/TrustedLaunch.h"

#include <shlwapi.h>

#include "unpack/FileTrust.h"

BOOL ConfirmTrustedOrReport(const wchar_t* path) {
  if (IsTrustedFile(path)) return TRUE;
  if (path && *path && ::PathFileExistsW(path)) ReportCorruptedFile(path, kCorruptedFileTitle, TRUE);
  return FALSE;
}
