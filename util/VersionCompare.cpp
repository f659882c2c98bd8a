#include "util/VersionCompare.h"

#include <stdio.h>

namespace {

void ReadVersionParts(const wchar_t* text, int parts[4]) {
  parts[0] = parts[1] = parts[2] = parts[3] = 0;
  if (text) swscanf(text, L"%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
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
