#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Folder creation and removal shared by unpacking, the install steps and the UI.
// Paths are plain wide-character paths of at most 259 characters.

// A file or folder of that name is there.
bool PathExists(const wchar_t* path);

// True when the folder exists afterwards (created, parents first, or already there).
bool CreateFolderTree(const wchar_t* folder);

// Makes folder and every missing level above it (down to the drive root),
// appending each folder it made to made, parents first.
void CreateFolderTreeNoting(const std::wstring& folder, std::vector<std::wstring>& made);

// Creates every folder in front of the last separator; a folder path must end
// in a separator to be created itself. Result of the last creation attempted.
bool CreateDirectoryPath(const wchar_t* path);

// Removes the folder and everything below it; undeletable files stay, and so
// does the folder then. True when the folder itself was removed.
bool DeleteDirectoryTree(const wchar_t* folder);

// As DeleteDirectoryTree, but a file that cannot be deleted is renamed
// "<path>_bak" and that name is deleted at the next restart.
bool DeleteDirectoryTreeDeferred(const wchar_t* folder);
