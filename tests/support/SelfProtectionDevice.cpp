#include "support/SelfProtectionDevice.h"

#include <wchar.h>

#include "util/SystemSeam.h"

namespace {

// Any value the real calls never hand out.
HANDLE const kDeviceHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5E1F));
DWORD g_answer = 0;
DWORD g_code = 0;
DWORD g_input = 0;
DWORD g_access = 0;
int g_opens = 0;
int g_closes = 0;

HANDLE WINAPI OpenDevice(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (name && _wcsicmp(name, L"\\\\.\\KelvoSelfProtection") == 0) {
    ++g_opens;
    g_access = access;
    return kDeviceHandle;
  }
  return ::CreateFileW(name, access, share, sa, disposition, flags, templateFile);
}

BOOL WINAPI Control(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                    DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
  if (device != kDeviceHandle) {
    return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
  }
  g_code = code;
  g_input = in && inSize == sizeof(DWORD) ? *static_cast<DWORD*>(in) : 0;
  if (!out || outSize != sizeof(DWORD)) return FALSE;
  *static_cast<DWORD*>(out) = g_answer;
  if (returned) *returned = sizeof(DWORD);
  return TRUE;
}

BOOL WINAPI Close(HANDLE handle) {
  if (handle == kDeviceHandle) {
    ++g_closes;
    return TRUE;
  }
  return ::CloseHandle(handle);
}

}  // namespace

ScopedSelfProtectionDevice::ScopedSelfProtectionDevice(DWORD answer) {
  g_answer = answer;
  g_code = g_input = g_access = 0;
  g_opens = g_closes = 0;
  Seam().CreateFileW = OpenDevice;
  Seam().DeviceIoControl = Control;
  Seam().CloseHandle = Close;
}

ScopedSelfProtectionDevice::~ScopedSelfProtectionDevice() { ResetSystemSeam(); }

DWORD ScopedSelfProtectionDevice::lastControlCode() { return g_code; }
DWORD ScopedSelfProtectionDevice::lastInput() { return g_input; }
DWORD ScopedSelfProtectionDevice::lastAccess() { return g_access; }
int ScopedSelfProtectionDevice::opens() { return g_opens; }
int ScopedSelfProtectionDevice::closes() { return g_closes; }
