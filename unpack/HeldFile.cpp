#include "unpack/HeldFile.h"

HeldFile::HeldFile(const wchar_t* path) {
  if (!path || !*path) return;
  handle_ = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
}

HeldFile::~HeldFile() {
  if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
}
