#include <cstring>

#include "install/MachineId.h"
#include "install/Md5.h"

void MachineIdHash(const char* text, char* out, size_t size) {
  if (!out || size == 0) return;
  std::memset(out, 0, size);

  // Only the first 259 bytes count, as the identifier has always been made.
  char limited[260] = {};
  if (text) ::lstrcpynA(limited, text, sizeof(limited));

  Md5 md5;
  md5.Update(limited, std::strlen(limited));
  md5.Finish();
  md5.Finish();
  unsigned char digest[16];
  md5.Digest(digest);

  // By hand: snprintf would bring mingw's whole formatter into the installer.
  static const char kDigits[] = "0123456789abcdef";
  char hex[33] = {};
  for (int i = 0; i < 16; ++i) {
    hex[i * 2] = kDigits[digest[i] >> 4];
    hex[i * 2 + 1] = kDigits[digest[i] & 15];
  }
  ::lstrcpynA(out, hex, static_cast<int>(size < sizeof(hex) ? size : sizeof(hex)));
}
