#include <windows.h>
// Needs the types windows.h declares.
#include <nb30.h>

#include <cstring>

#include "install/MachineComponents.h"
#include "util/FormatText.h"
#include "util/LibraryLoadFlags.h"

namespace {

using NetbiosCall = UCHAR(WINAPI*)(PNCB);

// From the system folder only: a Netapi32.dll beside the installer must not load.
HMODULE LoadSystemNetapi() { return LoadSystemLibrary(L"Netapi32.dll"); }

bool AskFirstAdapter(NetbiosCall netbios, char* out, size_t capacity) {
  LANA_ENUM adapters = {};
  static_assert(sizeof(adapters) == 256, "LANA_ENUM");
  NCB ncb = {};
  ncb.ncb_command = NCBENUM;
  ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&adapters);
  ncb.ncb_length = sizeof(adapters);
  if (netbios(&ncb) != NRC_GOODRET || adapters.length == 0) return false;

  ncb = NCB{};
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = adapters.lana[0];
  netbios(&ncb);

  UCHAR status[600] = {};
  ncb = NCB{};
  ncb.ncb_command = NCBASTAT;
  ncb.ncb_lana_num = adapters.lana[0];
  std::memcpy(ncb.ncb_callname, "*               ", NCBNAMSZ);
  ncb.ncb_buffer = status;
  ncb.ncb_length = sizeof(status);
  if (netbios(&ncb) != NRC_GOODRET) return false;
  // ADAPTER_STATUS opens with the six address bytes.
  FormatText(out, capacity, "%02X%02X%02X%02X%02X%02X", status[0], status[1], status[2],
             status[3], status[4], status[5]);
  return true;
}

}  // namespace

bool ReadNetBiosAddress(char* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  out[0] = '\0';
  HMODULE netapi = LoadSystemNetapi();
  if (!netapi) return false;
  bool found = false;
  auto netbios =
      reinterpret_cast<NetbiosCall>(reinterpret_cast<void*>(::GetProcAddress(netapi, "Netbios")));
  if (netbios) found = AskFirstAdapter(netbios, out, capacity);
  ::FreeLibrary(netapi);
  return found;
}
