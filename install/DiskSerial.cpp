#include <windows.h>
// Needs the types windows.h declares.
#include <winioctl.h>

#include <cstring>
#include <string>
#include <utility>

#include "install/MachineComponents.h"
#include "util/FormatText.h"
#include "util/SystemSeam.h"

namespace {

constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kStorageQueryProperty = 0x2D1400;
constexpr DWORD kMiniportIdentify = 0x1B0501;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kIdentifyPacketDevice = 0xA1;
constexpr int kDriveCount = 16;
constexpr size_t kIdentifySize = 512;
// SENDCMDOUTPARAMS up to its data: cBufferSize and DRIVERSTATUS.
constexpr size_t kCommandReplyHeader = 16;
// The model number (word 27 on): empty on a reply that identifies nothing.
constexpr size_t kIdentifyModelOffset = 54;

// SRB_IO_CONTROL, which heads every miniport request and reply.
struct MiniportHeader {
  ULONG headerLength;
  char signature[8];
  ULONG timeout;
  ULONG controlCode;
  ULONG returnCode;
  ULONG length;
};

static_assert(sizeof(GETVERSIONINPARAMS) == 24, "SMART version reply");
static_assert(sizeof(SENDCMDINPARAMS) == 33, "SMART command");
static_assert(sizeof(MiniportHeader) == 28, "miniport header");
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12, "property query");

HANDLE OpenDevice(const char* name, DWORD access, DWORD share) {
  return Seam().CreateFileA(name, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

void PhysicalDriveName(int drive, char* name, size_t size) {
  FormatText(name, size, "\\\\.\\PhysicalDrive%d", drive);
}

bool Deliver(const std::string& serial, char* out, size_t capacity) {
  std::string trimmed = serial.substr(0, serial.find('\0'));
  trimmed.erase(trimmed.find_last_not_of(' ') + 1);
  if (trimmed.empty()) return false;
  ::lstrcpynA(out, trimmed.c_str(), static_cast<int>(capacity));
  return true;
}

// ATA IDENTIFY keeps the serial in words 10..19, each word high byte first.
bool SerialFromIdentify(const BYTE* identify, char* out, size_t capacity) {
  std::string serial;
  for (int word = 10; word < 20; ++word) {
    serial += static_cast<char>(identify[word * 2 + 1]);
    serial += static_cast<char>(identify[word * 2]);
  }
  return Deliver(serial, out, capacity);
}

bool SmartVersion(HANDLE device, GETVERSIONINPARAMS* version) {
  DWORD returned = 0;
  *version = GETVERSIONINPARAMS{};
  return Seam().DeviceIoControl(device, kSmartGetVersion, nullptr, 0, version, sizeof(*version),
                                &returned, nullptr) != FALSE;
}

bool SmartIdentify(HANDLE device, int drive, char* out, size_t capacity) {
  GETVERSIONINPARAMS version;
  if (!SmartVersion(device, &version) || version.bIDEDeviceMap == 0) return false;

  SENDCMDINPARAMS command = {};
  command.cBufferSize = kIdentifySize;
  command.irDriveRegs.bSectorCountReg = 1;
  command.irDriveRegs.bSectorNumberReg = 1;
  command.irDriveRegs.bDriveHeadReg = static_cast<BYTE>(0xA0 | ((drive & 1) << 4));
  // The map's high nibble marks ATAPI devices, which answer only the packet form.
  command.irDriveRegs.bCommandReg =
      ((version.bIDEDeviceMap >> drive) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
  command.bDriveNumber = static_cast<BYTE>(drive);

  BYTE reply[sizeof(SENDCMDOUTPARAMS) - 1 + kIdentifySize] = {};
  static_assert(sizeof(reply) == 528, "SMART identify reply");
  DWORD returned = 0;
  if (!Seam().DeviceIoControl(device, kSmartReceiveDriveData, &command, sizeof(command) - 1, reply,
                              sizeof(reply), &returned, nullptr)) {
    return false;
  }
  return SerialFromIdentify(reply + kCommandReplyHeader, out, capacity);
}

// Drivers that refuse the plain SMART open often accept one that shares
// everything and a bare IDENTIFY DEVICE.
bool SmartIdentifyBare(HANDLE device, char* out, size_t capacity) {
  GETVERSIONINPARAMS version;
  if (!SmartVersion(device, &version)) return false;

  SENDCMDINPARAMS command = {};
  command.irDriveRegs.bCommandReg = kIdentifyDevice;
  BYTE reply[sizeof(SENDCMDINPARAMS) + kIdentifySize] = {};
  static_assert(sizeof(reply) == 545, "bare SMART identify reply");
  DWORD returned = 0;
  if (!Seam().DeviceIoControl(device, kSmartReceiveDriveData, &command, sizeof(command), reply,
                              sizeof(reply), &returned, nullptr)) {
    return false;
  }
  return SerialFromIdentify(reply + kCommandReplyHeader, out, capacity);
}

bool MiniportIdentify(HANDLE device, int target, char* out, size_t capacity) {
  constexpr size_t kReplyData = sizeof(SENDCMDOUTPARAMS) + kIdentifySize;
  BYTE request[sizeof(MiniportHeader) + sizeof(SENDCMDINPARAMS) - 1] = {};
  BYTE reply[sizeof(MiniportHeader) + kReplyData] = {};
  static_assert(sizeof(request) == 60 && sizeof(reply) == 557, "miniport identify");

  MiniportHeader header = {};
  header.headerLength = sizeof(MiniportHeader);
  std::memcpy(header.signature, "SCSIDISK", 8);
  header.timeout = 10000;
  header.controlCode = kMiniportIdentify;
  header.length = kReplyData;
  std::memcpy(request, &header, sizeof(header));
  SENDCMDINPARAMS command = {};
  command.irDriveRegs.bCommandReg = kIdentifyDevice;
  command.bDriveNumber = static_cast<BYTE>(target);
  std::memcpy(request + sizeof(header), &command, sizeof(request) - sizeof(header));

  DWORD returned = 0;
  if (!Seam().DeviceIoControl(device, kScsiMiniport, request, sizeof(request), reply, sizeof(reply),
                              &returned, nullptr)) {
    return false;
  }
  const BYTE* identify = reply + sizeof(MiniportHeader) + kCommandReplyHeader;
  if (identify[kIdentifyModelOffset] == 0) return false;
  return SerialFromIdentify(identify, out, capacity);
}

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

int HexValue(char c) {
  if (c == ' ') return 0;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Some drivers report the serial as hex digit pairs, others as text; either
// way with the bytes of each pair swapped, as ATA stores them.
std::string DecodeStorageSerial(const char* text) {
  const size_t length = std::strlen(text);
  std::string decoded;
  bool hex = length % 2 == 0;
  for (size_t i = 0; hex && i < length; i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    unsigned char byte = static_cast<unsigned char>(high * 16 + low);
    if (high < 0 || low < 0 || (byte != 0 && !Printable(byte))) {
      hex = false;
    } else {
      decoded += static_cast<char>(byte);
    }
  }
  if (!hex) {
    decoded.assign(text, length);
    for (unsigned char c : decoded) {
      if (!Printable(c)) return std::string();
    }
  }
  for (size_t i = 0; i + 1 < decoded.size(); i += 2) std::swap(decoded[i], decoded[i + 1]);
  return decoded;
}

bool StorageQuerySerial(HANDLE device, char* out, size_t capacity) {
  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  constexpr DWORD kReplySize = 10000;
  // One spare zero byte, so a serial running to the end is still terminated.
  std::string reply(kReplySize + 1, '\0');
  DWORD returned = 0;
  if (!Seam().DeviceIoControl(device, kStorageQueryProperty, &query, sizeof(query), &reply[0],
                              kReplySize, &returned, nullptr)) {
    return false;
  }
  STORAGE_DEVICE_DESCRIPTOR descriptor;
  std::memcpy(&descriptor, reply.data(), sizeof(descriptor));
  DWORD offset = descriptor.SerialNumberOffset;
  if (offset == 0 || offset >= kReplySize) return false;
  return Deliver(DecodeStorageSerial(reply.c_str() + offset), out, capacity);
}

}  // namespace

bool ReadDiskSerialViaSmart(char* out, size_t capacity) {
  for (int drive = 0; drive < kDriveCount; ++drive) {
    char name[64];
    PhysicalDriveName(drive, name, sizeof(name));
    HANDLE device =
        OpenDevice(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (device == INVALID_HANDLE_VALUE) continue;
    bool found = SmartIdentify(device, drive, out, capacity);
    Seam().CloseHandle(device);
    if (found) return true;
  }
  return false;
}

bool ReadDiskSerialViaScsiMiniport(char* out, size_t capacity) {
  for (int controller = 0; controller < kDriveCount; ++controller) {
    char name[64];
    FormatText(name, sizeof(name), "\\\\.\\Scsi%d:", controller);
    HANDLE device =
        OpenDevice(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (device == INVALID_HANDLE_VALUE) continue;
    bool found = false;
    for (int target = 0; target < 2 && !found; ++target) {
      found = MiniportIdentify(device, target, out, capacity);
    }
    Seam().CloseHandle(device);
    if (found) return true;
  }
  return false;
}

bool ReadDiskSerialViaStorageQuery(char* out, size_t capacity) {
  for (int drive = 0; drive < kDriveCount; ++drive) {
    char name[64];
    PhysicalDriveName(drive, name, sizeof(name));
    // No access asked: a standard user may query properties of any drive.
    HANDLE device = OpenDevice(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (device == INVALID_HANDLE_VALUE) continue;
    bool found = StorageQuerySerial(device, out, capacity);
    Seam().CloseHandle(device);
    if (found) return true;
  }
  return false;
}

bool ReadDiskSerialViaSmartFullSharing(char* out, size_t capacity) {
  for (int drive = 0; drive < kDriveCount; ++drive) {
    char name[64];
    PhysicalDriveName(drive, name, sizeof(name));
    HANDLE device = OpenDevice(name, GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (device == INVALID_HANDLE_VALUE) continue;
    bool found = SmartIdentifyBare(device, out, capacity);
    Seam().CloseHandle(device);
    if (found) return true;
  }
  return false;
}
