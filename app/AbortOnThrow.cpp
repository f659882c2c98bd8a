// The installer is built without exceptions: nothing in it catches one, so
// a failure the standard library would throw for (a string past its maximum
// length, an allocation that cannot be made) ends the process either way.
// Ending it here directly keeps the library's exception classes, their
// string copies and its name demangler (well over 100 KB) out of the
// executable. Linked into the installer only; the test programs keep the
// library's own.
#include <stdlib.h>

#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_function_call() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_system_error(int) { abort(); }
}  // namespace std
