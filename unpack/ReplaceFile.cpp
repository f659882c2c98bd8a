#include "unpack/ReplaceFile.h"

#include <stdio.h>

#include "util/FolderOps.h"

namespace {

// A target that cannot be moved to ".bak" is retried under numbered
// ".bak<n>" names, kRetryPauseMs apart, in case whoever holds it lets go.
// Ten tries is about two seconds; after that the target is given up on, so a
// file held for good cannot stall the install.
constexpr int kNumberedBackupAttempts = 10;
constexpr DWORD kRetryPauseMs = 200;
// A held source is tried again this often while the caller's budget lasts.
constexpr DWORD kHeldSourcePauseMs = 50;

std::wstring NumberedBackup(const wchar_t* target, int number) {
  wchar_t name[MAX_PATH] = {};
  _snwprintf(name, MAX_PATH - 1, L"%ls.bak%d", target, number);
  name[MAX_PATH - 1] = L'\0';
  return name;
}

// Returns the name the target now lives under, or empty when it could not
// be moved (it is then still at its own name).
// A read-only target is renamed as it is, so that it comes back unchanged;
// its backup is made writable only when it is dropped.
std::wstring MoveTargetAside(const wchar_t* target, const std::wstring& backup) {
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

bool IsHeldError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

bool MoveSource(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                DWORD* waitBudgetMs) {
  for (;;) {
    if (::MoveFileExW(source, target, moveFlags)) return true;
    if (!waitBudgetMs || (moveFlags & MOVEFILE_DELAY_UNTIL_REBOOT) || !IsHeldError(::GetLastError())) {
      return false;
    }
    // A holder that shares reading lets the bytes be copied; the staged
    // file itself is left to the staging folder's removal.
    if (::CopyFileW(source, target, TRUE)) {
      ::DeleteFileW(source);
      return true;
    }
    if (*waitBudgetMs == 0) return false;
    DWORD pause = *waitBudgetMs < kHeldSourcePauseMs ? *waitBudgetMs : kHeldSourcePauseMs;
    ::Sleep(pause);
    *waitBudgetMs -= pause;
  }
}

}  // namespace

bool MoveIntoPlace(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                   DWORD* waitBudgetMs, std::wstring* movedAside) {
  std::wstring movedTo;
  if (PathExists(target)) {
    movedTo = MoveTargetAside(target, std::wstring(target) + L".bak");
    // Moving the source over it would delete the only copy of the old file.
    if (movedTo.empty() && !(moveFlags & MOVEFILE_DELAY_UNTIL_REBOOT)) return false;
  }
  if (movedAside) *movedAside = movedTo;

  BOOL moved = MoveSource(source, target, moveFlags, waitBudgetMs);
  // A move the caller delays until restart leaves the target empty for now.
  const bool delayed = (moveFlags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  // Where nothing was moved aside, a move that worked needs no second look.
  const bool arrived = moved && (delayed || movedTo.empty() || PathExists(target));
  // The new file is not in place now: put back what this call moved aside,
  // from the name it really went to. Without REPLACE_EXISTING, so whatever
  // stands at the target is never overwritten.
  if (!movedTo.empty() && !PathExists(target)) {
    if (::MoveFileExW(movedTo.c_str(), target, 0) && movedAside) movedAside->clear();
  }
  return arrived;
}

void DiscardBackup(const std::wstring& target) {
  const std::wstring backup = target + L".bak";
  DWORD attributes = ::GetFileAttributesW(backup.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(backup.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!::DeleteFileW(backup.c_str())) {
    ::MoveFileExW(backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags,
                           bool* targetExisted) {
  const bool existed = PathExists(target);
  if (targetExisted) *targetExisted = existed;
  std::wstring movedTo;
  const bool arrived = MoveIntoPlace(source, target, moveFlags, nullptr, &movedTo);
  // The plain ".bak" is ours, from this call or an earlier run; it goes once
  // it is not the only copy left of the old file.
  if (movedTo != std::wstring(target) + L".bak" || PathExists(target)) DiscardBackup(target);
  return arrived;
}
