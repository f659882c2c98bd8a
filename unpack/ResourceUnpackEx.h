#pragma once
#include <windows.h>

#include <string>

#include "unpack/ResourceUnpack.h"
#include "unpack/UnzipCallback.h"

// Unpacks a resource into a given folder. An archive goes through a staging
// folder and each item is moved into place as soon as it is written.
class CResourceUnpackEx : public CResourceUnpack {
 public:
  bool Unpack(const std::wstring& targetFolder, bool archive);

 private:
  CUnzipCallback sink_;
};
