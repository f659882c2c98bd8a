#pragma once
#include <windows.h>

#include <string>

std::wstring NewGuidText();

// A fresh folder under the user's temporary folder, removed with everything
// in it (read-only attributes cleared first) when the object goes.
class ScopedTempDir {
 public:
  ScopedTempDir();
  // The same under another folder, e.g. one on a different drive.
  explicit ScopedTempDir(const std::wstring& parent);
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// UTF-8 both ways: for files our programs write that way, and for wide texts
// in test messages.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
void RemoveTreeForcibly(const std::wstring& path);

// Writes a copy of this test program (a valid executable image) to path.
bool CopyOwnProgram(const std::wstring& path);

// Maps a program file as an executable image, the way a running program holds
// its own file: it can be renamed but not deleted. The file must be a program.
class HeldImage {
 public:
  explicit HeldImage(const std::wstring& path);
  ~HeldImage();
  bool ok() const { return view_ != nullptr; }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

// The pending rename operations (read from the real machine hive: do not
// combine with a RegistrySandbox) scheduled for the next restart, as pairs of
// source and target (target empty for a deletion), "\??\" prefixes removed.
std::wstring PendingRenameOperationsText();
bool IsScheduledForDeletionAtRestart(const std::wstring& path);
bool IsScheduledForRenameAtRestart(const std::wstring& source, const std::wstring& target);

// Hold this around code that schedules renames for the next restart. The
// system reads, extends and writes back PendingFileRenameOperations without a
// lock, so tests running at once in other processes could lose each other's
// entries; this named mutex makes them take turns.
class PendingRenamesLock {
 public:
  PendingRenamesLock();
  ~PendingRenamesLock();
  PendingRenamesLock(const PendingRenamesLock&) = delete;
  PendingRenamesLock& operator=(const PendingRenamesLock&) = delete;

 private:
  HANDLE mutex_ = nullptr;
};
