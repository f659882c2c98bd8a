#include "unpack/UnzipCallback.h"

#include <shlwapi.h>
#include <wctype.h>

#include "unpack/ReplaceFile.h"
#include "util/FolderOps.h"

namespace {

std::wstring WithBackslash(const std::wstring& folder) {
  if (!folder.empty() && folder.back() == L'\\') return folder;
  return folder + L"\\";
}

}  // namespace

void CUnzipCallback::Prepare(const std::wstring& stagingFolder, const std::wstring& targetFolder) {
  stagingFolder_ = WithBackslash(stagingFolder);
  targetFolder_ = WithBackslash(targetFolder);
  moveFlags_ = MOVEFILE_REPLACE_EXISTING;
  if (towlower(stagingFolder_[0]) != towlower(targetFolder_[0])) moveFlags_ |= MOVEFILE_COPY_ALLOWED;
}

int CUnzipCallback::OnStart(const wchar_t*, const wchar_t*) { return 0; }

int CUnzipCallback::OnItemStart(UINT32, UINT32, const wchar_t*, bool) { return 0; }

int CUnzipCallback::OnItemDone(UINT32, UINT32, const wchar_t* relativePath, bool isDirectory) {
  std::wstring source = stagingFolder_ + relativePath;
  if (!::PathFileExistsW(source.c_str())) return 0;
  std::wstring destination = targetFolder_ + relativePath;
  if (isDirectory) {
    // Created the plain way, like the install folder itself: the shell's
    // variant announces each new folder to the shell, at the price of a
    // parse of the whole path, for folders no window can be showing yet.
    if (!StrStrIW(relativePath, L"..")) {
      CreateFolderTree(destination.c_str());
    }
    return 0;
  }
  CreateDirectoryPath(destination.c_str());
  ReplaceFileWithBackup(source.c_str(), destination.c_str(), moveFlags_);
  return 0;
}

int CUnzipCallback::OnFinish(bool) {
  std::wstring staging = stagingFolder_;
  if (!staging.empty() && staging.back() == L'\\') staging.pop_back();
  DeleteDirectoryTreeDeferred(staging.c_str());
  return 0;
}
