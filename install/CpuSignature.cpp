#include <cpuid.h>

#include <cstring>

#include "install/MachineComponents.h"
#include "util/FormatText.h"

bool ReadCpuSignature(char* out, size_t capacity) {
  if (!out || capacity == 0) return false;
  out[0] = '\0';
  // Zero when the processor has no CPUID instruction at all.
  if (__get_cpuid_max(0, nullptr) == 0) return false;

  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(0, eax, ebx, ecx, edx);
  char vendor[13] = {};
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  // Some Intel parts report this misspelling; identifiers made on them have
  // always used the proper name.
  if (std::strcmp(vendor, "GenuineIotel") == 0) std::memcpy(vendor, "GenuineIntel", 12);

  __cpuid(1, eax, ebx, ecx, edx);
  return FormatText(out, capacity, "%s:%08x", vendor, edx);
}
