#include "unpack/ResourceUnpackEx.h"

#include "unpack/Cabinet.h"
#include "unpack/ExtractArchive.h"

bool CResourceUnpackEx::Unpack(const std::wstring& targetFolder, bool archive,
                               ExtractedItems* record, bool folderPermissionsFollow) {
  std::wstring file, staging;
  if (!WriteTempFileAndFolder(file, staging)) return false;
  bool ok;
  if (archive) {
    sink_.Prepare(staging, targetFolder, record, folderPermissionsFollow);
    ok = ExtractArchive(file.c_str(), staging.c_str(), &sink_) >= 0 && sink_.placed();
  } else {
    // A cabinet goes straight into the target; the staging folder stays empty.
    ok = ExtractCabinet(file.c_str(), targetFolder.c_str());
  }
  if (!ok) return false;
  ::DeleteFileW(file.c_str());
  return true;
}
