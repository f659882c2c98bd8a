// Linked into 7z.dll in place of the C++ runtime's verbose terminate
// handler, which writes the escaping exception's demangled name to the
// console and so brings the name demangler and mingw's own printf (about
// 75 KB) into a library that has no console. 7-Zip turns its exceptions
// into error codes at every interface, so this only runs where the process
// could not go on anyway; it ends with the installer's exit code for a run
// that ran out of resources.
#include <windows.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  ::TerminateProcess(::GetCurrentProcess(), 7);
  for (;;) ::Sleep(INFINITE);
}
}  // namespace __gnu_cxx
