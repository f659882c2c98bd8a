#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "app/InstallApp.h"
#include "app/ProductNames.h"
#include "app/SetupContext.h"
#include "install/RegistryNames.h"

namespace {

// Text values carry no terminating NUL in their byte count. Results are not
// examined: a failing write (no rights) must not stop the install.
void SetText(HKEY root, const wchar_t* key, const wchar_t* value, const std::wstring& text) {
  ::SHSetValueW(root, key, value, REG_SZ, text.c_str(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

std::wstring OwnFileName() {
  wchar_t self[260] = {};
  ::GetModuleFileNameW(nullptr, self, 260);
  ::PathStripPathW(self);
  return self;
}

}  // namespace

void SetupContext::WriteRegistryRecords() {
  CreateShortcuts();
  WriteUninstallEntry();
  WriteAppPath();
}

void SetupContext::WriteUninstallEntry() {
  using namespace registry_names;
  const wchar_t* key = product::kUninstallKey;
  const CInstallApp& app = App();
  // Start from nothing so that values of earlier versions do not survive.
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key);
  SetText(HKEY_LOCAL_MACHINE, key, L"InstallLocation", installDir);
  SetText(HKEY_LOCAL_MACHINE, key, L"DisplayName", productName);
  SetText(HKEY_LOCAL_MACHINE, key, L"UninstallString", installDir + L"\\" + kUninstaller);
  SetText(HKEY_LOCAL_MACHINE, key, L"DisplayIcon", productExe);
  SetText(HKEY_LOCAL_MACHINE, key, L"DisplayVersion", app.ownVersion);
  SetText(HKEY_LOCAL_MACHINE, key, L"NSIS:StartMenuDir", productName);
  SetText(HKEY_LOCAL_MACHINE, key, L"URLInfoAbout", kMakerHomePage);
  SetText(HKEY_LOCAL_MACHINE, key, L"Publisher", kPublisher);
  SetText(HKEY_LOCAL_MACHINE, key, L"pid", app.pid);
  SetText(HKEY_LOCAL_MACHINE, key, L"mid", app.mid);
  SetText(HKEY_LOCAL_MACHINE, key, L"InstName", OwnFileName());
}

void SetupContext::WriteAppPath() {
  SetText(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, nullptr, productExe);
  SetText(HKEY_LOCAL_MACHINE, registry_names::kAppPathsKey, L"Path", installDir);
}

void SetupContext::WriteAutoStartEntry() {
  wchar_t command[300] = {};
  _snwprintf(command, 299, L"\"%s\" /autostart", productExe.c_str());
  SetText(HKEY_CURRENT_USER, registry_names::kRunKey, registry_names::kRunValue, command);
}
