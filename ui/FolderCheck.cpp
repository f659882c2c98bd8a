#include "ui/FolderCheck.h"

#include <shlwapi.h>
#include <stdio.h>
#include <wchar.h>

#include "res/resource.h"
#include "ui/ResourceString.h"
#include "util/FolderOps.h"
#include "util/SystemSeam.h"

namespace {

constexpr size_t kMaxFolderLength = 180;

std::wstring Bounded(const std::wstring& text, size_t units) {
  return text.size() > units ? text.substr(0, units) : text;
}

}  // namespace

int RequiredSpaceMb(HMODULE resources) {
  return _wtoi(ResourceString(resources, IDS_REQUIRED_SPACE_MB).c_str());
}

std::wstring FormatFreeSpace(unsigned freeMb) {
  wchar_t text[64] = {};
  if (freeMb < 1024) {
    _snwprintf(text, 63, L"%d MB", static_cast<int>(freeMb));
  } else {
    float gigabytes = static_cast<float>(freeMb) * (1.0f / 1024.0f);
    _snwprintf(text, 63, L"%.2f GB", static_cast<double>(gigabytes));
  }
  return text;
}

void CheckFreeSpace(FolderCheck& check, const std::wstring& text) {
  check.folder = text;
  if (text.size() > kMaxFolderLength) {
    check.status = FolderCheck::kPathTooLong;
    check.message = ResourceString(check.resources, IDS_PATH_TOO_LONG);
    return;
  }
  size_t driveEnd = text.find(L":\\");
  if (driveEnd == std::wstring::npos) {
    check.status = FolderCheck::kNoDrive;
    check.message = ResourceString(check.resources, IDS_FOLDER_UNUSABLE);
    return;
  }
  std::wstring root = text.substr(0, driveEnd + 2);
  ULARGE_INTEGER callerFree = {}, total = {}, totalFree = {};
  if (!Seam().GetDiskFreeSpaceExW(root.c_str(), &callerFree, &total, &totalFree)) {
    check.status = FolderCheck::kFreeSpaceUnknown;
    check.message = ResourceString(check.resources, IDS_FOLDER_UNUSABLE);
    return;
  }
  unsigned freeMb = static_cast<unsigned>(totalFree.QuadPart >> 20);
  if (static_cast<unsigned>(RequiredSpaceMb(check.resources)) > freeMb) {
    check.status = FolderCheck::kNotEnoughSpace;
    check.message = ResourceString(check.resources, IDS_NO_SPACE);
    return;
  }
  check.status = FolderCheck::kPassed;
  check.message = FormatFreeSpace(freeMb);
}

BOOL CheckFolderWritable(FolderCheck& check) {
  std::wstring folder = Bounded(check.folder, MAX_PATH - 1);
  bool writable = false;
  if (::PathFileExistsW(folder.c_str()) || CreateFolderTree(folder.c_str())) {
    if (::PathIsDirectoryW(folder.c_str())) {
      wchar_t probe[MAX_PATH + 32] = {};
      _snwprintf(probe, MAX_PATH - 1, L"%s\\%d.tmp", folder.c_str(),
                 static_cast<int>(::GetTickCount()));
      HANDLE file = ::CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        ::DeleteFileW(probe);
        writable = true;
      }
    }
  }
  if (writable) return TRUE;
  check.status = FolderCheck::kNotWritable;
  check.message = ResourceString(check.resources, IDS_FOLDER_NOT_WRITABLE);
  return FALSE;
}
