#include "unpack/FileTrust.h"

// Placeholder until the signature check lands: an existing file is trusted.
BOOL IsTrustedFile(const wchar_t* path) {
  return path && ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

int ReportCorruptedFile(const wchar_t*, const wchar_t*, BOOL exitAfterwards) {
  if (exitAfterwards) ::ExitProcess(0);
  return IDNO;
}
