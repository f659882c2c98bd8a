#include "unpack/TempPath.h"

#include <objbase.h>
#include <shlwapi.h>
#include <stdio.h>
#include <wchar.h>

#include "unpack/WorkFolder.h"

namespace {

constexpr int kNameAttempts = 10;

}  // namespace

std::wstring NewBracedGuid() {
  GUID guid = {};
  ::CoCreateGuid(&guid);
  wchar_t name[64] = {};
  _snwprintf(name, 63, L"{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
             guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
             guid.Data4[6], guid.Data4[7]);
  return name;
}

bool MakeTempPath(std::wstring& out) {
  wchar_t folder[1024] = {};
  // An elevated run keeps its files out of the user's reach.
  if (WorkFolderPath()[0]) {
    wcsncpy(folder, WorkFolderPath(), 1023);
  } else if (WorkFolderRequired()) {
    return false;
  } else {
    ::GetTempPathW(1024, folder);
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::wstring name = NewBracedGuid();
    wchar_t joined[MAX_PATH] = {};
    // A temporary folder too long to hold the name gives no usable path at all.
    if (!::PathCombineW(joined, folder, name.c_str())) return false;
    std::wstring candidate = std::wstring(joined) + L".tmp";
    if (!::PathFileExistsW(candidate.c_str())) {
      out = candidate;
      return true;
    }
  }
  return false;
}
