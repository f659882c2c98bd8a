#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What one extraction created in the install folder: the files that were not
// there before and the folders it made, the install folder itself among
// them. Removing them takes away exactly the pre-extraction and leaves
// everything the folder held before, the user's files included.
class ExtractedItems {
 public:
  // Makes folder and every missing level above it, noting each one made.
  void CreateFolder(const std::wstring& folder);
  void AddFile(const std::wstring& path) { files_.push_back(path); }
  // A folder that came into being otherwise (moved in whole); after its parent.
  void AddFolder(const std::wstring& folder) { folders_.push_back(folder); }
  // Deletes the noted files, then the noted folders that are empty, deepest
  // first; a file that will not go is deleted at the next restart.
  void RemoveAll();
  void Clear();
  bool empty() const { return files_.empty() && folders_.empty(); }

 private:
  std::vector<std::wstring> files_;
  std::vector<std::wstring> folders_;
};
