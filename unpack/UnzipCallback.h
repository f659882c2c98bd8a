#pragma once
#include <windows.h>

#include <string>

#include "unpack/ExtractCallback.h"

// Moves each item the extraction finished from the staging folder into the
// target folder, backing up whatever it replaces, and clears the staging
// folder at the end.
class CUnzipCallback : public IExtractCallback {
 public:
  // Both folders get a trailing backslash; the moves may copy across drives
  // when the two folders start with different drive letters.
  void Prepare(const std::wstring& stagingFolder, const std::wstring& targetFolder);

  int OnStart(const wchar_t* archivePath, const wchar_t* outputFolder) override;
  int OnItemStart(UINT32 index, UINT32 count, const wchar_t* relativePath,
                  bool isDirectory) override;
  int OnItemDone(UINT32 index, UINT32 count, const wchar_t* relativePath,
                 bool isDirectory) override;
  int OnFinish(bool succeeded) override;

  const std::wstring& targetFolder() const { return targetFolder_; }
  const std::wstring& stagingFolder() const { return stagingFolder_; }
  DWORD moveFlags() const { return moveFlags_; }

 private:
  std::wstring targetFolder_;
  std::wstring stagingFolder_;
  DWORD moveFlags_ = MOVEFILE_REPLACE_EXISTING;
};
