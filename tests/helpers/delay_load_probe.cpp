// Binds "version.dll" (in the system folder) or the planted "TextSharping.dll"
// (only beside this program) late through delay imports, as the installer
// binds its system libraries; "default": without its hook, as the plain
// search would. usage: delay_load_probe version|planted [default]
// Exit code: 0 version.dll came from the system folder, 1 the planted library
// ran or version.dll came from elsewhere, 2 the load failed.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "unpack/TrustedLoad.h"

extern "C" PfnDliHook __pfnDliNotifyHook2;
extern "C" __declspec(dllimport) int WINAPI TextSharpingProbe(void);

namespace {

LONG WINAPI LoadFailed(EXCEPTION_POINTERS*) {
  printf("load failed\n");
  fflush(stdout);
  ::ExitProcess(2);
}

}  // namespace

int main(int argc, char** argv) {
  bool useDefault = argc > 2 && strcmp(argv[2], "default") == 0;
  __pfnDliNotifyHook2 = useDefault ? nullptr : SystemDllLoadHook;
  ::SetUnhandledExceptionFilter(LoadFailed);
  if (argc > 1 && strcmp(argv[1], "planted") == 0) {
    printf("planted library answered %d\n", TextSharpingProbe());
    return 1;
  }
  DWORD handle = 0;
  ::GetFileVersionInfoSizeW(L"kernel32.dll", &handle);
  char path[MAX_PATH] = {}, system[MAX_PATH] = {};
  ::GetModuleFileNameA(::GetModuleHandleA("version.dll"), path, MAX_PATH);
  ::GetSystemDirectoryA(system, MAX_PATH);
  printf("%s\n", path);
  return _strnicmp(path, system, strlen(system)) == 0 ? 0 : 1;
}
