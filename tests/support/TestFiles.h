#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the user's temporary folder (or under parent),
// removed with everything in it when the object goes.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::wstring& parent = std::wstring());
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring Join(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string* bytes);
// The content, or "<missing>".
std::string FileText(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
void RemoveTreeForcibly(const std::wstring& path);
// Writes a copy of a valid executable image the build does not sign.
bool CopyUnsignedProgram(const std::wstring& path);

// Every file and folder below root ("dir\" for folders), sorted, with the
// files' contents.
struct TreeEntry {
  std::wstring path;
  bool isFolder = false;
  std::string content;
  bool operator==(const TreeEntry& other) const {
    return path == other.path && isFolder == other.isFolder && content == other.content;
  }
};
std::vector<TreeEntry> ReadTree(const std::wstring& root);
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Maps a program file as an executable image, as a running program holds its
// own file: it can be renamed but not deleted.
class HeldImage {
 public:
  explicit HeldImage(const std::wstring& path);
  ~HeldImage();
  bool ok() const { return view_ != nullptr; }

 private:
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
};

// Opens a file without sharing delete: it can be neither renamed nor deleted.
class PinnedFile {
 public:
  explicit PinnedFile(const std::wstring& path);
  ~PinnedFile();
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The renames scheduled for the next restart (target "" for a deletion).
// The system extends that list without a lock: tests that schedule hold a
// PendingRenamesLock so that processes running at once lose no entry.
bool IsScheduledForRenameAtRestart(const std::wstring& source, const std::wstring& target);
class PendingRenamesLock {
 public:
  PendingRenamesLock();
  ~PendingRenamesLock();

 private:
  HANDLE mutex_;
};
