#include "install/MachineComponents.h"

#include <cstring>

namespace {

constexpr size_t kPartSize = 100;

// The processor signature never changes while the process runs; asking once
// spares the others the CPUID round trip.
class ProcessorTextCache {
 public:
  ProcessorTextCache() { ::InitializeCriticalSection(&lock_); }
  ~ProcessorTextCache() { ::DeleteCriticalSection(&lock_); }

  void Read(char* out, size_t capacity) {
    ::EnterCriticalSection(&lock_);
    if (text_[0] == '\0') {
      if (ReadCpuSignature(out, capacity)) ::lstrcpynA(text_, out, sizeof(text_));
    } else {
      ::lstrcpynA(out, text_, static_cast<int>(capacity));
    }
    ::LeaveCriticalSection(&lock_);
  }

 private:
  CRITICAL_SECTION lock_;
  char text_[128] = {};
};

// Built before main, so before any thread can ask.
ProcessorTextCache g_processorText;

void Append(char* out, size_t capacity, const char* part) {
  size_t used = std::strlen(out);
  if (used + 1 < capacity) ::lstrcpynA(out + used, part, static_cast<int>(capacity - used));
}

void RemoveTrailingSpaces(char* text) {
  size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == ' ') text[--length] = '\0';
}

}  // namespace

void CollectMachineText(char* out, size_t capacity) {
  if (!out || capacity == 0) return;
  out[0] = '\0';

  char part[kPartSize] = {};
  g_processorText.Read(part, sizeof(part));
  Append(out, capacity, part);

  using DiskSerialReader = bool (*)(char*, size_t);
  const DiskSerialReader diskReaders[] = {ReadDiskSerialViaSmart, ReadDiskSerialViaScsiMiniport,
                                          ReadDiskSerialViaStorageQuery,
                                          ReadDiskSerialViaSmartFullSharing};
  for (DiskSerialReader read : diskReaders) {
    std::memset(part, 0, sizeof(part));
    if (read(part, sizeof(part))) {
      RemoveTrailingSpaces(part);
      Append(out, capacity, part);
      break;
    }
  }

  std::memset(part, 0, sizeof(part));
  if (ReadAdapterAddress(part, sizeof(part)) || ReadNetBiosAddress(part, sizeof(part))) {
    Append(out, capacity, part);
  }
}
