#include "ui/OsVersionCode.h"

#include <wchar.h>

namespace {

bool ServicePackIs(const OSVERSIONINFOEXW& version, const wchar_t* text) {
  return wcsncmp(version.szCSDVersion, text, 127) == 0;
}

}  // namespace

int ClassifyOsVersion(const OSVERSIONINFOEXW& v) {
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return kUnclassifiedOs;
  DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  if (major == 5) {
    if (minor == 0) return 1;
    if (minor == 1) {
      if (ServicePackIs(v, L"Service Pack 1")) return 3;
      if (ServicePackIs(v, L"Service Pack 2")) return 4;
      if (ServicePackIs(v, L"Service Pack 3")) return 5;
      return 2;
    }
    if (minor == 2) return 6;
    return kUnclassifiedOs;
  }
  if (major == 6) {
    if (minor == 0) {
      return ServicePackIs(v, L"Service Pack 1") || ServicePackIs(v, L"Service Pack 2") ? 8 : 7;
    }
    if (minor == 1) return 9;
    if (minor == 2) return kUnclassifiedOs;
    return 1000;
  }
  if (major == 7) return 9;
  if (major >= 8) return 1000;
  return kUnclassifiedOs;
}

int OsVersionCode() {
  // Worked out on the first call; a thread racing it would only store the
  // same answer.
  constexpr int kNotWorkedOut = -1;
  static volatile int code = kNotWorkedOut;
  if (code == kNotWorkedOut) {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
#pragma GCC diagnostic pop
    code = ok ? ClassifyOsVersion(version) : static_cast<int>(kUnclassifiedOs);
  }
  return code;
}
