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
  // With record, what an archive's items create is noted there.
  bool Unpack(const std::wstring& targetFolder, bool archive, ExtractedItems* record = nullptr);

 private:
  CUnzipCallback sink_;
};
