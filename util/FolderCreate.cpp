#include "util/FolderOps.h"

#include <shlwapi.h>
#include <wchar.h>

bool PathExists(const wchar_t* path) {
  return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolderTree(const wchar_t* folder) {
  if (::PathIsDirectoryW(folder)) return true;
  wchar_t parent[MAX_PATH] = {};
  ::lstrcpynW(parent, folder, MAX_PATH);
  if (!::PathRemoveFileSpecW(parent)) return false;
  // A parent that cannot be made shows up as the failure to create the folder itself.
  if (!::PathIsDirectoryW(parent)) CreateFolderTree(parent);
  return ::CreateDirectoryW(folder, nullptr) != FALSE;
}

void CreateFolderTreeNoting(const std::wstring& folder, std::vector<std::wstring>& made) {
  if (folder.empty() || ::PathIsDirectoryW(folder.c_str())) return;
  size_t slash = folder.find_last_of(L'\\');
  // Down to the drive root ("C:" has no parent worth making).
  if (slash != std::wstring::npos && slash > 2) CreateFolderTreeNoting(folder.substr(0, slash), made);
  if (::CreateDirectoryW(folder.c_str(), nullptr)) made.push_back(folder);
}

namespace {

// A forward slash only separates folders in the tail behind the last
// backslash, so a name like "a/b" inside a backslash path stays one piece.
bool IsSplitPoint(const wchar_t* path, size_t index) {
  if (path[index] == L'\\') return true;
  return path[index] == L'/' && wcschr(path + index + 1, L'\\') == nullptr;
}

}  // namespace

bool CreateDirectoryPath(const wchar_t* path) {
  if (::PathIsRootW(path)) return true;
  size_t length = path ? wcslen(path) : 0;
  if (length == 0 || length > MAX_PATH) return false;
  wchar_t prefix[MAX_PATH + 1] = {};
  // Most calls come one per extracted file into a folder that is already
  // there: one look at the deepest level spares a create per level.
  for (size_t index = length; index-- > 1;) {
    if (!IsSplitPoint(path, index)) continue;
    wmemcpy(prefix, path, index);
    prefix[index] = L'\0';
    if (::PathIsDirectoryW(prefix)) return true;
    break;
  }
  bool created = false;
  for (size_t index = 0; index < length; ++index) {
    if (!IsSplitPoint(path, index) || index == 0) continue;
    wmemcpy(prefix, path, index);
    prefix[index] = L'\0';
    created = ::CreateDirectoryW(prefix, nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
  }
  return created;
}
