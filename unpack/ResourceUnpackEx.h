#pragma once
#include <windows.h>

#include <string>

#include "unpack/ResourceUnpack.h"
#include "unpack/UnzipCallback.h"

// Unpacks a resource into a given folder. An archive goes through a staging
// folder, and its items are moved into place only once all of them came out
// intact.
class CResourceUnpackEx : public CResourceUnpack {
 public:
  // With record, what an archive's items create is noted there. With
  // folderPermissionsFollow, the caller gives the target tree its folder
  // permissions afterwards (CUnzipCallback::Prepare).
  bool Unpack(const std::wstring& targetFolder, bool archive, ExtractedItems* record = nullptr,
              bool folderPermissionsFollow = false);

 private:
  CUnzipCallback sink_;
};
