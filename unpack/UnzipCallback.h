#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "unpack/ExtractCallback.h"
#include "unpack/ExtractedItems.h"
#include "unpack/PlacementJournal.h"

// Moves the extracted items from the staging folder into the target folder,
// backing up whatever they replace, once the whole archive has come out
// intact. A failed extraction, or an item that cannot take its place, leaves
// the target folder as it was. The staging folder is cleared at the end
// either way.
class CUnzipCallback : public IExtractCallback {
 public:
  // Both folders get a trailing backslash; the moves may copy across drives
  // when the two folders start with different drive letters.
  // With record, every file and folder the moves create is noted there once
  // every item is in.
  // With folderPermissionsFollow, the whole tree is given the folder
  // permissions after the moves (which a moved folder otherwise brings from
  // the staging folder): a folder missing from the target may then be moved
  // in whole, by one rename, instead of item by item.
  void Prepare(const std::wstring& stagingFolder, const std::wstring& targetFolder,
               ExtractedItems* record = nullptr, bool folderPermissionsFollow = false);

  int OnStart(const wchar_t* archivePath, const wchar_t* outputFolder) override;
  int OnItemStart(UINT32 index, UINT32 count, const wchar_t* relativePath,
                  bool isDirectory) override;
  int OnItemDone(UINT32 index, UINT32 count, const wchar_t* relativePath,
                 bool isDirectory) override;
  int OnFinish(bool succeeded) override;

  // Every item of a successful extraction is in the target folder.
  bool placed() const { return placed_; }

  const std::wstring& targetFolder() const { return targetFolder_; }
  const std::wstring& stagingFolder() const { return stagingFolder_; }
  DWORD moveFlags() const { return moveFlags_; }

 private:
  struct Item {
    std::wstring relativePath;
    bool isDirectory;
  };
  bool PlaceItem(const Item& item, DWORD* waitBudgetMs);
  void MakeParentFolder(const std::wstring& destination);
  bool MoveWholeFolder(const Item& item);
  const std::wstring* MovedFolderHolding(const Item& item) const;
  void NoteMovedItem(const Item& item, const std::wstring& movedFolder);
  bool TargetHasRoomForTheCopies() const;

  std::wstring targetFolder_;
  std::wstring stagingFolder_;
  DWORD moveFlags_ = MOVEFILE_REPLACE_EXISTING;
  std::vector<Item> staged_;
  std::wstring madeFolder_;
  bool mayMoveWholeFolders_ = false;
  // Relative paths, each with a trailing backslash, of the folders moved whole.
  std::vector<std::wstring> movedFolders_;
  std::set<std::wstring> notedFolders_;
  bool placed_ = false;
  PlacementJournal journal_;
  ExtractedItems* record_ = nullptr;
};
