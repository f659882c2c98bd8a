#include <windows.h>

#include "app/Entry.h"
#include "unpack/TrustedLoad.h"

// The system libraries this executable binds late come from the system
// folder only, never from beside the installer (e.g. a download folder).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = SystemDllLoadHook;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argumentString, int showCommand) {
  return Entry(instance, argumentString, showCommand);
}
