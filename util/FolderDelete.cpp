#include "util/FolderOps.h"

#include <stdio.h>

#include "util/SystemSeam.h"

namespace {

// Every name is cut to MAX_PATH - 1 characters, as the Win32 file calls take them.
void JoinPath(wchar_t (&out)[MAX_PATH], const wchar_t* folder, const wchar_t* name) {
  _snwprintf(out, MAX_PATH - 1, L"%ls\\%ls", folder, name);
  out[MAX_PATH - 1] = L'\0';
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A file still in use (a running program, a loaded module) cannot be deleted
// but can be renamed: move it out of the way and let the next restart delete it.
void DeleteFileAtRestart(const wchar_t* path) {
  wchar_t aside[MAX_PATH] = {};
  _snwprintf(aside, MAX_PATH - 1, L"%ls_bak", path);
  aside[MAX_PATH - 1] = L'\0';
  ::MoveFileExW(path, aside, MOVEFILE_REPLACE_EXISTING);
  ::MoveFileExW(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

bool DeleteTree(const wchar_t* folder, bool deferUndeletableFiles) {
  // A link (junction, symbolic link) is removed itself; what it points to,
  // maybe a folder of the system's, is never walked.
  DWORD attributes = ::GetFileAttributesW(folder);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kFolderLink) == kFolderLink) {
    return ::RemoveDirectoryW(folder) != FALSE;
  }
  wchar_t pattern[MAX_PATH] = {};
  JoinPath(pattern, folder, L"*.*");
  WIN32_FIND_DATAW found;
  HANDLE search = Seam().FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    wchar_t child[MAX_PATH] = {};
    JoinPath(child, folder, found.cFileName);
    if ((found.dwFileAttributes & kFolderLink) == kFolderLink) {
      ::RemoveDirectoryW(child);
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(child, false);
    } else if (!::DeleteFileW(child) && deferUndeletableFiles) {
      // A file link is deleted itself as well.
      DeleteFileAtRestart(child);
    }
  } while (Seam().FindNextFileW(search, &found));
  ::FindClose(search);
  // A read-only folder cannot be removed; the archive bit alone clears that.
  ::SetFileAttributesW(folder, FILE_ATTRIBUTE_ARCHIVE);
  return ::RemoveDirectoryW(folder) != FALSE;
}

}  // namespace

bool DeleteDirectoryTree(const wchar_t* folder) { return DeleteTree(folder, false); }

bool DeleteDirectoryTreeDeferred(const wchar_t* folder) { return DeleteTree(folder, true); }
