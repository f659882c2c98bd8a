#include "unpack/ReplaceFile.h"

#include <stdio.h>

#include <string>

#include "util/FolderOps.h"

namespace {

// A target that cannot be moved to ".bak" is retried under numbered
// ".bak<n>" names, kRetryPauseMs apart, in case whoever holds it lets go.
// Ten tries is about two seconds; after that the final move is attempted
// anyway, so a file held for good cannot stall the install.
constexpr int kNumberedBackupAttempts = 10;
constexpr DWORD kRetryPauseMs = 200;


std::wstring NumberedBackup(const wchar_t* target, int number) {
  wchar_t name[MAX_PATH] = {};
  _snwprintf(name, MAX_PATH - 1, L"%ls.bak%d", target, number);
  name[MAX_PATH - 1] = L'\0';
  return name;
}

// Returns the name the target now lives under, or empty when it could not
// be moved (it is then still at its own name).
std::wstring MoveTargetAside(const wchar_t* target, const std::wstring& backup) {
  DWORD attributes = ::GetFileAttributesW(target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetFileAttributesW(target, attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (::MoveFileExW(target, backup.c_str(), MOVEFILE_REPLACE_EXISTING)) return backup;
  // ".bak" is taken, typically by an earlier run's leftover that is still
  // held. The target goes to a numbered name rather than being deleted, so
  // it can still come back if the new file does not arrive.
  for (int number = 1; number <= kNumberedBackupAttempts; ++number) {
    if (number > 1) ::Sleep(kRetryPauseMs);
    std::wstring numbered = NumberedBackup(target, number);
    if (::MoveFileExW(target, numbered.c_str(), MOVEFILE_REPLACE_EXISTING)) return numbered;
  }
  return std::wstring();
}

}  // namespace

bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                           bool* targetExisted) {
  const std::wstring backup = std::wstring(target) + L".bak";
  std::wstring movedTo;
  const bool existed = PathExists(target);
  if (targetExisted) *targetExisted = existed;
  if (existed) movedTo = MoveTargetAside(target, backup);

  BOOL moved = ::MoveFileExW(source, target, moveFlags);
  // A move the caller delays until restart leaves the target empty for now.
  const bool delayed = (moveFlags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  // Where nothing was moved aside, a move that worked needs no second look.
  const bool arrived = moved && (delayed || movedTo.empty() || PathExists(target));
  // The new file is not in place now: put back what this call moved aside,
  // from the name it really went to. Without REPLACE_EXISTING, so whatever
  // stands at the target is never overwritten.
  if (!movedTo.empty() && !PathExists(target)) {
    ::MoveFileExW(movedTo.c_str(), target, 0);
  }

  if (!movedTo.empty() && movedTo != backup && PathExists(movedTo.c_str()) && PathExists(target)) {
    // A numbered backup of a file nobody holds is dropped; a held one stays
    // for whoever holds it.
    ::DeleteFileW(movedTo.c_str());
  }
  // The plain ".bak" is ours, from this call or an earlier run; it goes once
  // it is not the only copy left of the old file.
  if (PathExists(backup.c_str()) && (movedTo != backup || PathExists(target))) {
    if (!::DeleteFileW(backup.c_str())) {
      ::MoveFileExW(backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  return arrived;
}
