#include "unpack/ReplaceFile.h"

#include <stdio.h>

#include <string>

namespace {

// A target that can neither be moved to ".bak" nor deleted is retried under
// numbered ".bak<n>" names, kRetryPauseMs apart, in case whoever holds it lets
// go. Ten tries is about two seconds; after that the final move is attempted
// anyway, so a file held for good cannot stall the install.
constexpr int kNumberedBackupAttempts = 10;
constexpr DWORD kRetryPauseMs = 200;

bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

std::wstring NumberedBackup(const wchar_t* target, int number) {
  wchar_t name[MAX_PATH] = {};
  _snwprintf(name, MAX_PATH - 1, L"%ls.bak%d", target, number);
  name[MAX_PATH - 1] = L'\0';
  return name;
}

void MoveTargetAside(const wchar_t* target, const std::wstring& backup) {
  DWORD attributes = ::GetFileAttributesW(target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetFileAttributesW(target, attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (::MoveFileExW(target, backup.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  // ".bak" is taken, typically by an earlier run's leftover that is still held.
  // A target that can simply be deleted needs no backup; one that cannot goes
  // to a numbered name instead.
  ::DeleteFileW(target);
  int number = 1;
  ::MoveFileExW(target, NumberedBackup(target, number).c_str(), MOVEFILE_REPLACE_EXISTING);
  while (Exists(target) && number < kNumberedBackupAttempts) {
    ::Sleep(kRetryPauseMs);
    ::DeleteFileW(target);
    ++number;
    ::MoveFileExW(target, NumberedBackup(target, number).c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

}  // namespace

bool ReplaceFileWithBackup(const wchar_t* source, const wchar_t* target, DWORD moveFlags) {
  std::wstring backup = std::wstring(target) + L".bak";
  bool targetExisted = Exists(target);
  if (targetExisted) MoveTargetAside(target, backup);

  BOOL moved = ::MoveFileExW(source, target, moveFlags);
  // The new file did not arrive: put the old one back (only the plain ".bak").
  if ((!moved || !Exists(target)) && targetExisted) {
    ::MoveFileExW(backup.c_str(), target, MOVEFILE_REPLACE_EXISTING);
  }

  if (Exists(backup.c_str()) && !::DeleteFileW(backup.c_str())) {
    ::MoveFileExW(backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  return true;
}
