#pragma once
#include <windows.h>

#include <string>

// The folder permissions spread over an installed tree (CopyFolderDacl) on
// a thread of its own, so that the steps after the extraction need not wait
// for it. Whatever changes the tree next, or starts what is in it, waits
// for it first.
class PermissionPass {
 public:
  PermissionPass() = default;
  ~PermissionPass() { Wait(); }
  PermissionPass(const PermissionPass&) = delete;
  PermissionPass& operator=(const PermissionPass&) = delete;

  // Waits for a pass still running, then starts this one (or runs it here
  // when no thread can be had).
  void Start(const std::wstring& targetFolder, const std::wstring& sourceFolder);
  // Returns once no pass runs.
  void Wait();

 private:
  static unsigned __stdcall Run(void* argument);

  std::wstring target_;
  std::wstring source_;
  HANDLE thread_ = nullptr;
};
