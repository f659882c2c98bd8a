/* A stand-in for the security suite's version library of a stable release,
   for the download choice of the corrupted-file report. */
#include <windows.h>

__declspec(dllexport) int WINAPI IsBetaVersion(void) { return 0; }
