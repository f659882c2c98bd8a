/* A "TextSharping.dll" planted beside a program, where the default library
   search looks first; the system folder has none. */
#include <windows.h>

__declspec(dllexport) int WINAPI TextSharpingProbe(void) { return 42; }
