#include "util/Windows64.h"

BOOL IsWindows64Bit() {
#if defined(_WIN64)
  return TRUE;
#else
  typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32");
  IsWow64ProcessFn isWow64 =
      kernel ? reinterpret_cast<IsWow64ProcessFn>(
                     reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")))
             : nullptr;
  BOOL wow64 = FALSE;
  if (!isWow64 || !isWow64(::GetCurrentProcess(), &wow64)) return FALSE;
  return wow64;
#endif
}
