/* GetTickCount64 for programs that must load on Windows XP.

   The static winpthread that std::call_once, the guards of function-local
   statics and the thread support link in imports GetTickCount64, which XP's
   kernel32 lacks: the loader would refuse the program before it runs. This
   object defines the import slot itself, so the linker takes it instead of
   kernel32's; the first call binds the system's function where there is one
   and counts GetTickCount's wraps where there is not. Link it as an object
   (not from an archive), ahead of the libraries. */
#include <windows.h>

typedef ULONGLONG(WINAPI* TickCount64Function)(void);

static ULONGLONG WINAPI TickCount64FirstCall(void);

TickCount64Function kelvoGetTickCount64 __asm__("__imp__GetTickCount64@0") = TickCount64FirstCall;

static ULONGLONG WINAPI TickCount64FromTickCount(void) {
  /* Callers measure timeouts; a wrap (every 49.7 days) is seen as long as
     one call falls in each period. */
  static volatile LONG last;
  static volatile LONG wraps;
  DWORD now = GetTickCount();
  DWORD before = (DWORD)InterlockedExchange(&last, (LONG)now);
  if (now < before && before - now > 0x80000000u) InterlockedIncrement(&wraps);
  return ((ULONGLONG)(DWORD)wraps << 32) | now;
}

static ULONGLONG WINAPI TickCount64FirstCall(void) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC system = kernel ? GetProcAddress(kernel, "GetTickCount64") : NULL;
  TickCount64Function bound = system ? (TickCount64Function)(void*)system : TickCount64FromTickCount;
  kelvoGetTickCount64 = bound;
  return bound();
}
