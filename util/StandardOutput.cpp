#include "util/StandardOutput.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

enum class OutputKind { kUnknown, kNone, kConsole, kBytes };

// The extraction writes a line per item, so what standard output is gets
// asked once instead of per line (a console check is a round trip).
OutputKind g_kind = OutputKind::kUnknown;
HANDLE g_output = nullptr;

OutputKind Kind() {
  if (g_kind != OutputKind::kUnknown) return g_kind;
  g_output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  // Only a console or a file takes a line without waiting; a pipe whose
  // reader never reads would stop the install at the first full buffer.
  DWORD type = g_output && g_output != INVALID_HANDLE_VALUE ? ::GetFileType(g_output)
                                                             : FILE_TYPE_UNKNOWN;
  if (type == FILE_TYPE_CHAR && ::GetConsoleMode(g_output, &mode)) {
    g_kind = OutputKind::kConsole;
  } else if (type == FILE_TYPE_CHAR || type == FILE_TYPE_DISK) {
    g_kind = OutputKind::kBytes;
  } else {
    g_kind = OutputKind::kNone;
  }
  return g_kind;
}

}  // namespace

void WriteStandardOutputLine(const wchar_t* format, ...) {
  OutputKind kind = Kind();
  if (kind == OutputKind::kNone) return;
  wchar_t line[1024];
  va_list arguments;
  va_start(arguments, format);
  int length = _vsnwprintf(line, 1023, format, arguments);
  va_end(arguments);
  line[1023] = L'\0';
  if (length < 0 || length > 1023) length = static_cast<int>(wcslen(line));
  DWORD written = 0;
  if (kind == OutputKind::kConsole) {
    ::WriteConsoleW(g_output, line, static_cast<DWORD>(length), &written, nullptr);
    return;
  }
  char bytes[4096];
  int size = ::WideCharToMultiByte(CP_UTF8, 0, line, length, bytes, sizeof(bytes), nullptr, nullptr);
  if (size > 0) ::WriteFile(g_output, bytes, static_cast<DWORD>(size), &written, nullptr);
}
