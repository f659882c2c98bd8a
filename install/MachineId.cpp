#include "install/MachineId.h"

#include <shlwapi.h>

#include <cstring>

#include "install/MachineComponents.h"

namespace {

constexpr char kCacheKey[] = "Software\\KelvoSafe\\Liveup";
constexpr char kFailedText[] = "Mid2Failed";
constexpr size_t kIdentifierLength = 32;
constexpr size_t kCollectedSize = 4096;

bool ReadCacheText(const char* name, char* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  DWORD type = 0;
  DWORD bytes = size - 1;  // the values are stored without a terminator
  return ::SHGetValueA(HKEY_LOCAL_MACHINE, kCacheKey, name, &type, buffer, &bytes) == ERROR_SUCCESS;
}

void WriteCacheText(const char* name, const char* text) {
  ::SHSetValueA(HKEY_LOCAL_MACHINE, kCacheKey, name, REG_SZ, text,
                static_cast<DWORD>(std::strlen(text)));
}

// The cache holds the identifier followed by its own hash, so a value that
// was cut short or edited by hand is recognised and made anew.
bool ReadCachedIdentifier(char* out, size_t size) {
  char cached[1024];
  if (!ReadCacheText("mid", cached, sizeof(cached))) return false;
  if (std::strlen(cached) != 2 * kIdentifierLength) return false;
  char identifier[kIdentifierLength + 1] = {};
  std::memcpy(identifier, cached, kIdentifierLength);
  char check[kIdentifierLength + 1];
  MachineIdHash(identifier, check, sizeof(check));
  if (::lstrcmpiA(check, cached + kIdentifierLength) != 0) return false;
  ::lstrcpynA(out, identifier, static_cast<int>(size));
  return true;
}

}  // namespace

BOOL GetMachineId(wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return FALSE;
  std::memset(out, 0, capacity * sizeof(wchar_t));
  char identifier[260] = {};
  GenerateMachineId(identifier, sizeof(identifier));
  wchar_t wide[260] = {};
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, identifier, -1, wide, 260);
  ::lstrcpynW(out, wide, static_cast<int>(capacity < 260 ? capacity : 260));
  return TRUE;
}

void GenerateMachineId(char* out, size_t size) {
  if (!out || size < kIdentifierLength) return;
  if (ReadCachedIdentifier(out, size)) return;
  char collected[kCollectedSize] = {};
  CollectMachineText(collected, sizeof(collected));
  MachineIdFromCollectedText(collected, out, size);
}

void MachineIdFromCollectedText(const char* collected, char* out, size_t size) {
  if (!out || size == 0) return;
  // A machine that told us nothing still gets an identifier, but not one
  // worth keeping: the next run may read more.
  const bool failed = !collected || collected[0] == '\0';
  MachineIdHash(failed ? kFailedText : collected, out, size);
  if (!failed) StoreMachineId(out);
}

void StoreMachineId(const char* identifier) {
  if (!identifier) return;
  char value[260] = {};
  ::lstrcpynA(value, identifier, sizeof(value));
  size_t used = std::strlen(value);
  MachineIdHash(identifier, value + used, sizeof(value) - used);

  char previous[256];
  if (ReadCacheText("mid", previous, sizeof(previous)) && std::strcmp(previous, identifier) != 0) {
    WriteCacheText("mid_old", previous);
  }
  WriteCacheText("mid", value);
}
