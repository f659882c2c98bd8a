#include "support/RegistrySandbox.h"

#include <objbase.h>
#include <shlwapi.h>

namespace {

HKEY CreateUserKey(const std::wstring& path) {
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
  return key;
}

std::wstring AsText(DWORD type, const BYTE* data, DWORD size) {
  if (type == REG_DWORD) return std::to_wstring(*reinterpret_cast<const DWORD*>(data));
  std::wstring text(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
  GUID guid = {};
  ::CoCreateGuid(&guid);
  wchar_t name[64] = {};
  ::StringFromGUID2(guid, name, 64);
  base_ = std::wstring(L"Software\\KelvoTests\\") + name;
  const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT};
  for (int i = 0; i < 3; ++i) keys_[i] = CreateUserKey(base_ + L"\\" + std::to_wstring(i));
  for (int i = 0; i < 3; ++i) ::RegOverridePredefKey(roots[i], keys_[i]);
}

RegistrySandbox::~RegistrySandbox() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE}) {
    ::RegOverridePredefKey(root, nullptr);
  }
  for (HKEY key : keys_) {
    if (key) ::RegCloseKey(key);
  }
  ::SHDeleteKeyW(HKEY_CURRENT_USER, base_.c_str());
}

std::map<std::wstring, std::wstring> RegValues(HKEY root, const std::wstring& key, REGSAM view) {
  std::map<std::wstring, std::wstring> values;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0;
    BYTE data[4096] = {};
    DWORD size = sizeof(data) - 2;
    if (::RegEnumValueW(opened, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
      break;
    }
    values[name] = AsText(type, data, size);
  }
  ::RegCloseKey(opened);
  return values;
}

std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* value, REGSAM view) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return L"";
  BYTE data[4096] = {};
  DWORD size = sizeof(data) - 2, type = 0;
  LONG status = ::RegQueryValueExW(opened, value, nullptr, &type, data, &size);
  ::RegCloseKey(opened);
  return status == ERROR_SUCCESS ? AsText(type, data, size) : L"";
}

bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  ::RegCloseKey(opened);
  return true;
}

bool WriteRegString(HKEY root, const std::wstring& key, const wchar_t* value,
                    const std::wstring& data) {
  return ::SHSetValueW(root, key.c_str(), value, REG_SZ, data.c_str(),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}
