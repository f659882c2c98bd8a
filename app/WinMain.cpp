#include <windows.h>

#include "app/Entry.h"
#include "unpack/TrustedLoad.h"
#include "util/LibraryLoadFlags.h"

// The system libraries this executable binds late come from the system
// folder only, never from beside the installer (e.g. a download folder).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = SystemDllLoadHook;
}

namespace {

// Before any static object is built, the first code of ours to run: the
// static imports are all libraries Windows takes from the system folder
// itself; everything loaded from here on is searched for there too.
__attribute__((constructor(101))) void LimitLibrarySearchAtStart() {
  LimitLibrarySearchToSystemFolder();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argumentString, int showCommand) {
  return Entry(instance, argumentString, showCommand);
}
