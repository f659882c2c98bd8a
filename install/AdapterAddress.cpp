#include <cstring>

#include "install/MachineComponents.h"
#include "util/FormatText.h"
#include "util/SystemSeam.h"

namespace {

constexpr char kNetworkCardsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr DWORD kNdisQueryGlobalStats = 0x170002;
constexpr DWORD kPermanentAddress = 0x01010101;  // OID_802_3_PERMANENT_ADDRESS

bool ReadServiceName(HKEY cards, const char* card, char* service, DWORD size) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(cards, card, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  std::memset(service, 0, size);
  DWORD type = 0;
  DWORD bytes = size - 1;
  LONG result = ::RegQueryValueExA(key, "ServiceName", nullptr, &type,
                                   reinterpret_cast<BYTE*>(service), &bytes);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS && service[0] != '\0';
}

bool AskDriverForAddress(const char* service, char* text, size_t size) {
  char name[300];
  FormatText(name, sizeof(name), "\\\\.\\%s", service);
  HANDLE device =
      Seam().CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return false;
  DWORD oid = kPermanentAddress;
  BYTE address[260] = {};
  DWORD returned = 0;
  BOOL ok = Seam().DeviceIoControl(device, kNdisQueryGlobalStats, &oid, sizeof(oid), address,
                                   sizeof(address), &returned, nullptr);
  Seam().CloseHandle(device);
  if (!ok || returned == 0) return false;
  FormatText(text, size, "%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2],
             address[3], address[4], address[5]);
  return true;
}

}  // namespace

bool ReadAdapterAddress(char* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  out[0] = '\0';
  HKEY cards = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkCardsKey, 0, KEY_READ, &cards) != ERROR_SUCCESS) {
    return false;
  }
  // Cards are listed in no lasting order; the smallest address keeps the
  // choice the same from run to run.
  char best[16] = {};
  for (DWORD index = 0;; ++index) {
    char card[260] = {};
    DWORD length = sizeof(card);
    LONG result = ::RegEnumKeyExA(cards, index, card, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    char service[260];
    char address[16] = {};
    if (!ReadServiceName(cards, card, service, sizeof(service))) continue;
    if (!AskDriverForAddress(service, address, sizeof(address))) continue;
    if (best[0] == '\0' || ::lstrcmpA(address, best) < 0) ::lstrcpynA(best, address, sizeof(best));
  }
  ::RegCloseKey(cards);
  if (best[0] == '\0') return false;
  ::lstrcpynA(out, best, static_cast<int>(capacity));
  return true;
}
