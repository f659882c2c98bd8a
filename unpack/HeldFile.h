#pragma once
#include <windows.h>

// Opens a file for reading and shares it for reading only, for as long as
// the object lives: nobody can write, replace, rename or delete it meanwhile.
// A file is checked and then loaded or started under one of these, so that
// what runs is what was checked.
class HeldFile {
 public:
  explicit HeldFile(const wchar_t* path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};
