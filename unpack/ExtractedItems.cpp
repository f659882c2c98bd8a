#include "unpack/ExtractedItems.h"

#include "util/FolderOps.h"

void ExtractedItems::CreateFolder(const std::wstring& folder) {
  CreateFolderTreeNoting(folder, folders_);
}

void ExtractedItems::RemoveAll() {
  for (const std::wstring& file : files_) {
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(file.c_str()) && ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
      ::MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  // Made parents first, so the deepest come last: walk backwards.
  for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
    ::RemoveDirectoryW(folder->c_str());
  }
  Clear();
}

void ExtractedItems::Clear() {
  files_.clear();
  folders_.clear();
}
