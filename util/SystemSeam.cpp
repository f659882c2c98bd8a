#include "util/SystemSeam.h"

#include <shlobj.h>

namespace {

SystemSeam RealCalls() {
  SystemSeam s;
  s.MessageBoxW = ::MessageBoxW;
  s.ShellExecuteExW = ::ShellExecuteExW;
  s.ShellExecuteW = ::ShellExecuteW;
  s.CheckTokenMembership = ::CheckTokenMembership;
  s.GetTokenInformation = ::GetTokenInformation;
  s.CreateFileA = ::CreateFileA;
  s.CreateFileW = ::CreateFileW;
  s.DeviceIoControl = ::DeviceIoControl;
  s.CloseHandle = ::CloseHandle;
  s.SHChangeNotify = ::SHChangeNotify;
  s.GetDiskFreeSpaceExW = ::GetDiskFreeSpaceExW;
  s.FindFirstFileW = ::FindFirstFileW;
  s.FindNextFileW = ::FindNextFileW;
  s.SetNamedSecurityInfoW = ::SetNamedSecurityInfoW;
  s.GetVersionExW = ::GetVersionExW;
  s.LoadStringW = ::LoadStringW;
  return s;
}

SystemSeam g_seam = RealCalls();

}  // namespace

SystemSeam& Seam() { return g_seam; }

void ResetSystemSeam() { g_seam = RealCalls(); }
