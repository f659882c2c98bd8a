#include "unpack/PermissionPass.h"

#include <process.h>

#include "unpack/FolderDacl.h"

void PermissionPass::Start(const std::wstring& targetFolder, const std::wstring& sourceFolder) {
  Wait();
  target_ = targetFolder;
  source_ = sourceFolder;
  uintptr_t thread = _beginthreadex(nullptr, 0, &PermissionPass::Run, this, 0, nullptr);
  if (thread) {
    thread_ = reinterpret_cast<HANDLE>(thread);
  } else {
    Run(this);
  }
}

void PermissionPass::Wait() {
  if (!thread_) return;
  ::WaitForSingleObject(thread_, INFINITE);
  ::CloseHandle(thread_);
  thread_ = nullptr;
}

unsigned __stdcall PermissionPass::Run(void* argument) {
  auto* pass = static_cast<PermissionPass*>(argument);
  CopyFolderDacl(pass->target_.c_str(), pass->source_.c_str());
  return 0;
}
