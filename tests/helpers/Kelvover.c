/* A stand-in for the security suite's version library, for the download
   choice of the corrupted-file report. KELVOVER_BETA sets the answer;
   KELVOVER_NO_EXPORT leaves "IsBetaVersion" out. */
#include <windows.h>

#if !defined(KELVOVER_NO_EXPORT)
__declspec(dllexport) int WINAPI IsBetaVersion(void) { return KELVOVER_BETA; }
#else
__declspec(dllexport) int WINAPI KelvoverBuild(void) { return 1; }
#endif
