#pragma once
#include <windows.h>

// Makes "\\.\KelvoSelfProtection" answer with a fixed value through the
// system seam for the object's lifetime (Wine has no such device). Other
// names go to the real calls. Puts every seam entry back at the end.
class ScopedSelfProtectionDevice {
 public:
  explicit ScopedSelfProtectionDevice(DWORD answer);
  ~ScopedSelfProtectionDevice();
  ScopedSelfProtectionDevice(const ScopedSelfProtectionDevice&) = delete;
  ScopedSelfProtectionDevice& operator=(const ScopedSelfProtectionDevice&) = delete;

  // What the last query sent and how often the device was opened and closed.
  static DWORD lastControlCode();
  static DWORD lastInput();
  static DWORD lastAccess();
  static int opens();
  static int closes();
};
