#include "app/OptionSources.h"

#include <shlwapi.h>
#include <wchar.h>

#include "install/InstallOptions.h"
#include "install/MachineId.h"
#include "install/ProductNames.h"
#include "util/FileVersion.h"

namespace {

constexpr wchar_t kWriteProbeKey[] = L"CLSID\\{1A893393-71A8-4a50-95A1-2B89DE87B24C}";

// Reads a text value of the uninstall entry into a 260-byte buffer.
bool ReadUninstallText(const wchar_t* value, wchar_t (&out)[260]) {
  wchar_t data[130] = {};
  DWORD type = 0;
  DWORD size = sizeof(data);
  if (::SHGetValueW(HKEY_LOCAL_MACHINE, product::kUninstallKey, value, &type, data, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  data[129] = L'\0';
  wmemset(out, L'\0', 260);
  wcsncpy(out, data, 259);
  return true;
}

}  // namespace

BOOL ProbeMachineRegistryWrite() {
  // The probe's data are the two bytes of the text "1", typed REG_DWORD.
  if (::SHSetValueW(HKEY_CLASSES_ROOT, kWriteProbeKey, nullptr, REG_DWORD, L"1", 2) !=
      ERROR_SUCCESS) {
    return FALSE;
  }
  ::SHDeleteKeyW(HKEY_CLASSES_ROOT, kWriteProbeKey);
  return TRUE;
}

void ReadOwnVersion(InstallOptions& options) {
  wchar_t self[260] = {};
  ::GetModuleFileNameW(nullptr, self, 260);
  options.ownVersion = ReadFileVersionText(self);
}

void ReadInstalledPid(InstallOptions& options) { ReadUninstallText(L"pid", options.pid); }

void ReadInstalledMid(InstallOptions& options) {
  if (!ReadUninstallText(L"mid", options.mid)) GetMachineId(options.mid, 259);
}
