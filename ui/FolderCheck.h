#pragma once
#include <windows.h>

#include <string>

// The result of the last check of the install folder the user chose.
struct FolderCheck {
  enum Status : int {
    kPassed = 0,
    kNotEnoughSpace = 1,
    kFreeSpaceUnknown = 2,
    kPathTooLong = 3,
    kNotWritable = 4,
    kNoDrive = 5,
  };
  int status = kPassed;
  std::wstring folder;
  // The free space ("1.50 GB") after a pass, otherwise the error text.
  std::wstring message;
  // Where the messages' texts come from.
  HMODULE resources = nullptr;
};

// The space an installation needs, in MB (string 151 read as an integer).
int RequiredSpaceMb(HMODULE resources);
// "1023 MB", "1.00 GB".
std::wstring FormatFreeSpace(unsigned freeMb);

// Length, drive and free-space rules on text as typed.
void CheckFreeSpace(FolderCheck& check, const std::wstring& text);
// The click-time check: creates check.folder if needed and writes a test
// file into it. FALSE sets status 4 and its message.
BOOL CheckFolderWritable(FolderCheck& check);
