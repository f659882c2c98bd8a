#include "util/FormatText.h"

#include <stdarg.h>
#include <stdio.h>

bool FormatText(char* out, size_t capacity, const char* format, ...) {
  if (capacity == 0) return false;
  va_list arguments;
  va_start(arguments, format);
  // It answers -1 and leaves the buffer unterminated when the text fills it.
  int written = _vsnprintf(out, capacity - 1, format, arguments);
  va_end(arguments);
  out[capacity - 1] = '\0';
  return written >= 0;
}
