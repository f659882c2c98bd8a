#pragma once
#include <windows.h>

#include <string>
#include <vector>

class ExtractedItems;

// What one placement changed in the target folder, in order: each file that
// took a place with the name its earlier copy was moved aside to, each file
// and folder that was not there before. A placement that cannot finish is
// undone from it, last change first, so the folder is as it was before.
class PlacementJournal {
 public:
  // Makes folder and every missing level above it, noting each one made.
  void CreateFolder(const std::wstring& folder);
  // A folder that came into being otherwise (moved in whole); after its parent.
  void AddFolder(const std::wstring& folder) { changes_.push_back({folder, std::wstring(), true}); }
  // A file now at target; movedAside names its earlier copy, empty for a new file.
  void AddFile(const std::wstring& target, const std::wstring& movedAside) {
    changes_.push_back({target, movedAside, false});
  }
  // Every item is in: the plain backups go, and what was new is noted in
  // record (when given).
  void Commit(ExtractedItems* record);
  // The earlier copies come back and what was new goes.
  void RollBack();

 private:
  struct Change {
    std::wstring path;
    std::wstring movedAside;
    bool isFolder;
  };
  std::vector<Change> changes_;
};
