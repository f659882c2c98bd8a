#pragma once
#include <windows.h>

// The file a loaded resource was mapped from, opened for reading at the
// resource's bytes. Reading them with ReadFile leaves the mapping alone:
// every page touched in a mapped module stays in the working set for as long
// as the module is loaded, and the payload is most of the installer.
// Writers are shut out while the file is open.
class ResourceFile {
 public:
  // data and size: the resource as LockResource gave it from module.
  ResourceFile(HMODULE module, const BYTE* data, LONG size);
  ~ResourceFile();
  ResourceFile(const ResourceFile&) = delete;
  ResourceFile& operator=(const ResourceFile&) = delete;

  // False when the file could not be found, opened or lined up with the
  // mapping; the bytes are then to be taken from the mapping itself.
  bool opened() const { return file_ != INVALID_HANDLE_VALUE; }
  // Reads the next bytes of the resource; false on a read error or at its end.
  bool Read(BYTE* buffer, DWORD size, DWORD* got);

 private:
  bool LinedUp(const BYTE* data, LONG size);

  HANDLE file_ = INVALID_HANDLE_VALUE;
  ULONGLONG next_ = 0;
  ULONGLONG end_ = 0;
};
