#include "util/LibraryLoadFlags.h"

#include <mutex>

DWORD SystemFolderOnlyLoadFlags() {
  static std::once_flag once;
  static DWORD flags = 0;
  std::call_once(once, [] {
    HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll");
    if (kernel && ::GetProcAddress(kernel, "AddDllDirectory")) {
      flags = LOAD_LIBRARY_SEARCH_SYSTEM32;
    }
  });
  return flags;
}
