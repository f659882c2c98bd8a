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

// A folder made at the target has none of these; one moved in whole may have
// been given them by its archive item while it was staged.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Compressed or encrypted, a target hands that on to the folders made in it,
// which a folder moved in does not take.
constexpr DWORD kInheritedAttributes = FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED;

void MakeFolderPlain(const std::wstring& folder) {
  DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kSettableAttributes)) {
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// What the placement waits in all for new files that another program (a
// virus scanner) holds before it gives up and undoes itself.
constexpr DWORD kHeldFileWaitMs = 3000;

ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

void CUnzipCallback::Prepare(const std::wstring& stagingFolder, const std::wstring& targetFolder,
                             ExtractedItems* record, bool folderPermissionsFollow) {
  record_ = record;
  mayMoveWholeFolders_ = folderPermissionsFollow;
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

// The parent folders of the files that follow each other in the archive are
// mostly the same: made (or found) once for the run of them.
void CUnzipCallback::MakeParentFolder(const std::wstring& destination) {
  std::wstring parent = destination.substr(0, destination.find_last_of(L'\\'));
  if (parent == madeFolder_) return;
  journal_.CreateFolder(parent);
  madeFolder_ = parent;
}

bool CUnzipCallback::PlaceItem(const Item& item, DWORD* waitBudgetMs) {
  std::wstring source = stagingFolder_ + item.relativePath;
  if (!PathExists(source.c_str())) return true;
  std::wstring destination = targetFolder_ + item.relativePath;
  if (item.isDirectory) {
    // Created the plain way, like the install folder itself: the shell's
    // variant announces each new folder to the shell, at the price of a
    // parse of the whole path, for folders no window can be showing yet.
    if (!StrStrIW(item.relativePath.c_str(), L"..")) journal_.CreateFolder(destination);
    return true;
  }
  MakeParentFolder(destination);
  std::wstring movedAside;
  bool placed =
      MoveIntoPlace(source.c_str(), destination.c_str(), moveFlags_, waitBudgetMs, &movedAside);
  // A failed move whose earlier copy could not go back yet is noted too: it
  // comes back with the rest.
  if (placed || !movedAside.empty()) journal_.AddFile(destination, movedAside);
  return placed;
}

// A folder the target does not have yet, with everything staged below it, is
// renamed into place: a rename is one of the slowest file operations, and
// the payload has a few folders but hundreds of files. Only on the same
// drive (a folder cannot be moved across), and only where nothing differs
// from placing the items one by one: no file is replaced, the folder
// permissions are set over the tree afterwards, and the target passes on
// no attributes to what is made in it.
bool CUnzipCallback::MoveWholeFolder(const Item& item) {
  if (!mayMoveWholeFolders_ || !item.isDirectory || (moveFlags_ & MOVEFILE_COPY_ALLOWED)) {
    return false;
  }
  if (StrStrIW(item.relativePath.c_str(), L"..")) return false;
  std::wstring source = stagingFolder_ + item.relativePath;
  std::wstring destination = targetFolder_ + item.relativePath;
  if (PathExists(destination.c_str()) || !PathExists(source.c_str())) return false;
  MakeParentFolder(destination);
  if (!::MoveFileExW(source.c_str(), destination.c_str(), 0)) return false;
  movedFolders_.push_back(item.relativePath + L"\\");
  MakeFolderPlain(destination);
  notedFolders_.insert(destination);
  journal_.AddFolder(destination);
  return true;
}

const std::wstring* CUnzipCallback::MovedFolderHolding(const Item& item) const {
  for (const std::wstring& folder : movedFolders_) {
    if (item.relativePath.compare(0, folder.size(), folder) == 0) return &folder;
  }
  return nullptr;
}

// What a moved folder brought is noted as if it had been made item by item,
// parents before what is in them, up to the moved folder itself.
void CUnzipCallback::NoteMovedItem(const Item& item, const std::wstring& movedFolder) {
  std::wstring destination = targetFolder_ + item.relativePath;
  if (item.isDirectory) MakeFolderPlain(destination);
  const size_t rootLength = targetFolder_.size() + movedFolder.size() - 1;
  std::vector<std::wstring> unnoted;
  std::wstring folder = item.isDirectory ? destination
                                         : destination.substr(0, destination.find_last_of(L'\\'));
  while (folder.size() > rootLength && !notedFolders_.count(folder)) {
    unnoted.push_back(folder);
    folder = folder.substr(0, folder.find_last_of(L'\\'));
  }
  for (auto made = unnoted.rbegin(); made != unnoted.rend(); ++made) {
    notedFolders_.insert(*made);
    journal_.AddFolder(*made);
  }
  if (!item.isDirectory) journal_.AddFile(destination, std::wstring());
}

// Moves to another drive copy every byte. They start only when the target
// drive holds all the new files, as the old copies stay until the last new
// one is in: a drive that fills half-way would only mean undoing them all.
bool CUnzipCallback::TargetHasRoomForTheCopies() const {
  if (!(moveFlags_ & MOVEFILE_COPY_ALLOWED)) return true;
  ULONGLONG added = 0;
  for (const Item& item : staged_) {
    if (!item.isDirectory) added += FileSize(stagingFolder_ + item.relativePath);
  }
  ULARGE_INTEGER callerFree = {}, total = {}, free = {};
  if (!Seam().GetDiskFreeSpaceExW(targetFolder_.c_str(), &callerFree, &total, &free)) return true;
  return callerFree.QuadPart >= added;
}

int CUnzipCallback::OnFinish(bool succeeded) {
  placed_ = succeeded && TargetHasRoomForTheCopies();
  madeFolder_.clear();
  movedFolders_.clear();
  notedFolders_.clear();
  if (placed_ && mayMoveWholeFolders_) {
    DWORD target = ::GetFileAttributesW(targetFolder_.c_str());
    if (target == INVALID_FILE_ATTRIBUTES || (target & kInheritedAttributes)) {
      mayMoveWholeFolders_ = false;
    }
  }
  if (placed_) {
    DWORD waitBudgetMs = kHeldFileWaitMs;
    for (const Item& item : staged_) {
      if (const std::wstring* movedFolder = MovedFolderHolding(item)) {
        NoteMovedItem(item, *movedFolder);
      } else if (!MoveWholeFolder(item) && !PlaceItem(item, &waitBudgetMs)) {
        placed_ = false;
        break;
      }
    }
    // All or nothing: a product half new, half old may not even start.
    if (placed_) {
      journal_.Commit(record_);
    } else {
      journal_.RollBack();
    }
  }
  staged_.clear();
  std::wstring staging = stagingFolder_;
  if (!staging.empty() && staging.back() == L'\\') staging.pop_back();
  DeleteDirectoryTreeDeferred(staging.c_str());
  return 0;
}
