#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "install/ProductNames.h"
#include "install/RegistryNames.h"
#include "install/SetupContext.h"

namespace {

// Text values carry no terminating NUL in their byte count. Results are not
// examined: a failing write (no rights) must not stop the install.
void SetText(HKEY root, const wchar_t* key, const wchar_t* value, const std::wstring& text) {
  ::SHSetValueW(root, key, value, REG_SZ, text.c_str(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

// Leaves under key only the values named in keep, and no subkeys.
void RemoveAllBut(HKEY root, const wchar_t* path, const std::wstring* keep, size_t keepCount) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  wchar_t name[260];
  // A deleted value's place is taken by the next one, so the index moves on
  // only past values that stay.
  for (DWORD i = 0;;) {
    DWORD length = 260;
    LONG result = ::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {  // a name longer than any of ours
      ++i;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    // Value names ignore case: an old "displayname" now holds our text.
    bool kept = false;
    for (size_t k = 0; k < keepCount && !kept; ++k) kept = _wcsicmp(keep[k].c_str(), name) == 0;
    if (kept) {
      ++i;
    } else if (::RegDeleteValueW(key, name) != ERROR_SUCCESS) {
      ++i;
    }
  }
  for (;;) {
    DWORD length = 260;
    if (::RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        ::SHDeleteKeyW(key, name) != ERROR_SUCCESS) {
      break;
    }
  }
  ::RegCloseKey(key);
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
  // Written over the existing entry, and only then are the values of earlier
  // versions removed: deleting the key first would leave the machine without
  // an entry if the process ended in between.
  const std::wstring values[][2] = {
      {L"InstallLocation", installDir},
      {L"DisplayName", productName},
      // Quoted: unquoted, a space in the folder lets Windows start the part
      // in front of it ("C:\My.exe") instead.
      {L"UninstallString", L"\"" + installDir + L"\\" + kUninstaller + L"\""},
      {L"DisplayIcon", productExe},
      {L"DisplayVersion", options.ownVersion},
      {L"NSIS:StartMenuDir", productName},
      {L"URLInfoAbout", kMakerHomePage},
      {L"Publisher", kPublisher},
      {L"pid", options.pid},
      {L"mid", options.mid},
      {L"InstName", OwnFileName()},
  };
  constexpr size_t kCount = sizeof(values) / sizeof(values[0]);
  std::wstring names[kCount];
  for (size_t i = 0; i < kCount; ++i) {
    SetText(HKEY_LOCAL_MACHINE, key, values[i][0].c_str(), values[i][1]);
    names[i] = values[i][0];
  }
  RemoveAllBut(HKEY_LOCAL_MACHINE, key, names, kCount);
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
