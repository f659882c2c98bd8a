// The installer is built without exceptions: nothing in it catches one, so
// a failure the standard library would throw for (a string past its maximum
// length, an allocation that cannot be made) ends the process either way.
// Ending it here directly keeps the library's exception classes, their
// string copies and its name demangler (well over 100 KB) out of the
// executable. Linked into the installer only; the test programs keep the
// library's own.
//
// Not through abort(): the C runtime's abort shows a message box in a
// windowed program, and its exit code 3 would read as "another instance".
#include <windows.h>

#include <stdlib.h>

#include <new>

#include "install/ExitCodes.h"

namespace {

[[noreturn]] void StopHere() {
  ::TerminateProcess(::GetCurrentProcess(), kExitOutOfResources);
  for (;;) ::Sleep(INFINITE);
}

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { StopHere(); }
}  // namespace __gnu_cxx

// The library's own throws std::bad_alloc, which brings the exception runtime.
void* operator new(size_t size) {
  void* block = malloc(size ? size : 1);
  if (!block) StopHere();
  return block;
}

namespace std {
void __throw_bad_alloc() { StopHere(); }
void __throw_bad_array_new_length() { StopHere(); }
void __throw_bad_function_call() { StopHere(); }
void __throw_length_error(const char*) { StopHere(); }
void __throw_logic_error(const char*) { StopHere(); }
void __throw_out_of_range_fmt(const char*, ...) { StopHere(); }
void __throw_system_error(int) { StopHere(); }
}  // namespace std
