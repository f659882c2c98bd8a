#include "unpack/PlacementJournal.h"

#include "unpack/ExtractedItems.h"
#include "unpack/ReplaceFile.h"
#include "util/FolderOps.h"

namespace {

// Whoever reads a file just placed (a virus scanner) may hold it for a
// moment: the undo waits for them this long in all, then leaves what is
// still held to the next restart.
constexpr DWORD kUndoWaitMs = 3000;
constexpr DWORD kUndoPauseMs = 50;

template <typename Step>
bool Retried(Step step, DWORD& waitBudgetMs) {
  for (;;) {
    if (step()) return true;
    if (waitBudgetMs < kUndoPauseMs) return false;
    ::Sleep(kUndoPauseMs);
    waitBudgetMs -= kUndoPauseMs;
  }
}

void PutBack(const std::wstring& target, const std::wstring& movedAside, DWORD& waitBudgetMs) {
  ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  auto back = [&] {
    return ::MoveFileExW(movedAside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  };
  if (!Retried(back, waitBudgetMs)) {
    ::MoveFileExW(movedAside.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

void Remove(const std::wstring& file, DWORD& waitBudgetMs) {
  ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  auto gone = [&] {
    return ::DeleteFileW(file.c_str()) || ::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES;
  };
  if (!Retried(gone, waitBudgetMs)) {
    ::MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

}  // namespace

void PlacementJournal::CreateFolder(const std::wstring& folder) {
  std::vector<std::wstring> made;
  CreateFolderTreeNoting(folder, made);
  for (const std::wstring& each : made) AddFolder(each);
}

void PlacementJournal::Commit(ExtractedItems* record) {
  for (const Change& change : changes_) {
    if (!change.movedAside.empty()) {
      DiscardBackup(change.path);
    } else if (record && change.isFolder) {
      record->AddFolder(change.path);
    } else if (record) {
      record->AddFile(change.path);
    }
  }
  changes_.clear();
}

void PlacementJournal::RollBack() {
  DWORD waitBudgetMs = kUndoWaitMs;
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    if (!change->movedAside.empty()) {
      PutBack(change->path, change->movedAside, waitBudgetMs);
    } else if (change->isFolder) {
      // Empty by now: what was placed in it went first.
      if (!::RemoveDirectoryW(change->path.c_str())) {
        ::MoveFileExW(change->path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
    } else {
      Remove(change->path, waitBudgetMs);
    }
  }
  changes_.clear();
}
