#include "unpack/ExtractedItems.h"

#include <shlwapi.h>

void ExtractedItems::CreateFolder(const std::wstring& folder) {
  if (folder.empty() || ::PathIsDirectoryW(folder.c_str())) return;
  size_t slash = folder.find_last_of(L'\\');
  // Down to the drive root ("C:" has no parent worth making).
  if (slash != std::wstring::npos && slash > 2) CreateFolder(folder.substr(0, slash));
  if (::CreateDirectoryW(folder.c_str(), nullptr)) folders_.push_back(folder);
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
