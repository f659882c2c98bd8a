#include "util/VersionCompare.h"

#include <stdlib.h>

namespace {

// "%d.%d.%d.%d" read as swscanf reads it: each part may have blanks and a
// sign in front, the first part missing ends the reading, missing parts are
// 0. wcstoul rather than swscanf, whose mingw version brings the whole
// floating-point reader into the installer.
void ReadVersionParts(const wchar_t* text, int parts[4]) {
  parts[0] = parts[1] = parts[2] = parts[3] = 0;
  for (int i = 0; text && i < 4; ++i) {
    wchar_t* end = nullptr;
    unsigned long value = wcstoul(text, &end, 10);
    if (end == text) return;
    parts[i] = static_cast<int>(value);
    text = *end == L'.' ? end + 1 : nullptr;
  }
}

}  // namespace

int CompareVersions(const wchar_t* a, const wchar_t* b) {
  int left[4], right[4];
  ReadVersionParts(a, left);
  ReadVersionParts(b, right);
  for (int i = 0; i < 4; ++i) {
    const unsigned l = static_cast<unsigned>(left[i]);
    const unsigned r = static_cast<unsigned>(right[i]);
    if (l != r) return l < r ? -1 : 1;
  }
  return 0;
}
