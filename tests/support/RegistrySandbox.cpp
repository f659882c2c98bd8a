#include "support/RegistrySandbox.h"

#include <shlwapi.h>

#include "support/TestFiles.h"

namespace {

HKEY CreateKey(const std::wstring& path) {
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
  return key;
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
  base_ = L"Software\\KelvoTests\\" + NewGuidText();
  machine_ = CreateKey(base_ + L"\\HKLM");
  user_ = CreateKey(base_ + L"\\HKCU");
  classes_ = CreateKey(base_ + L"\\HKCR");
  // The machine's cryptography settings come along: CryptoAPI finds its
  // providers there, and the signature check must work inside the sandbox.
  HKEY crypto = CreateKey(base_ + L"\\HKLM\\SOFTWARE\\Microsoft\\Cryptography");
  ::SHCopyKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", crypto, 0);
  if (crypto) ::RegCloseKey(crypto);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_);
  ::RegOverridePredefKey(HKEY_CURRENT_USER, user_);
}

RegistrySandbox::~RegistrySandbox() {
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  for (HKEY key : {machine_, user_, classes_}) {
    if (key) ::RegCloseKey(key);
  }
  ::SHDeleteKeyW(HKEY_CURRENT_USER, base_.c_str());
}

bool ReadRegString(HKEY root, const wchar_t* key, const wchar_t* value, std::wstring* out,
                   DWORD* type) {
  wchar_t data[2048] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  DWORD kind = 0;
  if (::SHGetValueW(root, key, value, &kind, data, &size) != ERROR_SUCCESS) return false;
  if (type) *type = kind;
  out->assign(data, size / sizeof(wchar_t));
  while (!out->empty() && out->back() == L'\0') out->pop_back();
  return true;
}

bool ReadRegStringA(HKEY root, const char* key, const char* value, std::string* out) {
  char data[2048] = {};
  DWORD size = sizeof(data) - 1;
  DWORD kind = 0;
  if (::SHGetValueA(root, key, value, &kind, data, &size) != ERROR_SUCCESS) return false;
  out->assign(data, size);
  while (!out->empty() && out->back() == '\0') out->pop_back();
  return true;
}

bool WriteRegString(HKEY root, const wchar_t* key, const wchar_t* value, const std::wstring& data) {
  return ::SHSetValueW(root, key, value, REG_SZ, data.c_str(),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteRegStringA(HKEY root, const char* key, const char* value, const std::string& data) {
  return ::SHSetValueA(root, key, value, REG_SZ, data.c_str(), static_cast<DWORD>(data.size())) ==
         ERROR_SUCCESS;
}

bool RegKeyExists(HKEY root, const wchar_t* key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  ::RegCloseKey(opened);
  return true;
}
