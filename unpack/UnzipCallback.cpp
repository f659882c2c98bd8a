#include "unpack/UnzipCallback.h"

#include <shlwapi.h>
#include <wctype.h>

#include "unpack/ReplaceFile.h"
#include "util/FolderOps.h"
#include "util/SystemSeam.h"

namespace {

std::wstring WithBackslash(const std::wstring& folder) {
  if (!folder.empty() && folder.back() == L'\\') return folder;
  return folder + L"\\";
}

ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

void CUnzipCallback::Prepare(const std::wstring& stagingFolder, const std::wstring& targetFolder,
                             ExtractedItems* record) {
  record_ = record;
  stagingFolder_ = WithBackslash(stagingFolder);
  targetFolder_ = WithBackslash(targetFolder);
  moveFlags_ = MOVEFILE_REPLACE_EXISTING;
  if (towlower(stagingFolder_[0]) != towlower(targetFolder_[0])) moveFlags_ |= MOVEFILE_COPY_ALLOWED;
  staged_.clear();
  placed_ = false;
}

int CUnzipCallback::OnStart(const wchar_t*, const wchar_t*) { return 0; }

int CUnzipCallback::OnItemStart(UINT32, UINT32, const wchar_t*, bool) { return 0; }

// Only noted: an item later in the archive may still turn out damaged, and
// then none of them may touch the installed files.
int CUnzipCallback::OnItemDone(UINT32, UINT32, const wchar_t* relativePath, bool isDirectory) {
  staged_.push_back(Item{relativePath, isDirectory});
  return 0;
}

bool CUnzipCallback::PlaceItem(const Item& item) {
  std::wstring source = stagingFolder_ + item.relativePath;
  if (!::PathFileExistsW(source.c_str())) return true;
  std::wstring destination = targetFolder_ + item.relativePath;
  if (item.isDirectory) {
    // Created the plain way, like the install folder itself: the shell's
    // variant announces each new folder to the shell, at the price of a
    // parse of the whole path, for folders no window can be showing yet.
    if (!StrStrIW(item.relativePath.c_str(), L"..")) {
      if (record_) {
        record_->CreateFolder(destination);
      } else {
        CreateFolderTree(destination.c_str());
      }
    }
    return true;
  }
  bool existed = false;
  if (record_) {
    record_->CreateFolder(destination.substr(0, destination.find_last_of(L'\\')));
    existed = ::GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES;
  } else {
    CreateDirectoryPath(destination.c_str());
  }
  if (ReplaceFileWithBackup(source.c_str(), destination.c_str(), moveFlags_)) {
    if (record_ && !existed) record_->AddFile(destination);
    return true;
  }
  // The earlier copy kept its place: the product still has that file.
  return ::PathFileExistsW(destination.c_str()) != FALSE;
}

// Moves to another drive copy every byte. They start only when the target
// drive holds what the new files add, and the largest of them once more
// (its old copy goes only after the new one is complete): a drive that fills
// half-way would leave the product half old, half new.
bool CUnzipCallback::TargetHasRoomForTheCopies() const {
  if (!(moveFlags_ & MOVEFILE_COPY_ALLOWED)) return true;
  ULONGLONG added = 0, largest = 0, freed = 0;
  for (const Item& item : staged_) {
    if (item.isDirectory) continue;
    ULONGLONG size = FileSize(stagingFolder_ + item.relativePath);
    added += size;
    if (size > largest) largest = size;
    freed += FileSize(targetFolder_ + item.relativePath);
  }
  ULARGE_INTEGER callerFree = {}, total = {}, free = {};
  if (!Seam().GetDiskFreeSpaceExW(targetFolder_.c_str(), &callerFree, &total, &free)) return true;
  ULONGLONG needed = added > freed ? added - freed : 0;
  return callerFree.QuadPart >= needed + largest;
}

int CUnzipCallback::OnFinish(bool succeeded) {
  placed_ = succeeded && TargetHasRoomForTheCopies();
  if (placed_) {
    for (const Item& item : staged_) {
      if (!PlaceItem(item)) placed_ = false;
    }
  }
  staged_.clear();
  std::wstring staging = stagingFolder_;
  if (!staging.empty() && staging.back() == L'\\') staging.pop_back();
  DeleteDirectoryTreeDeferred(staging.c_str());
  return 0;
}
