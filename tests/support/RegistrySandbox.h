#pragma once
#include <windows.h>

#include <map>
#include <string>

// Redirects HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this
// process to fresh private keys for the object's lifetime, so registry tests
// never see each other or the prefix's real hives.
class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

 private:
  std::wstring base_;
  HKEY keys_[3] = {};
};

// The tests' one registry reader: a value as text (a DWORD as its decimal
// digits), "" when missing; view is KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0.
std::wstring RegText(HKEY root, const std::wstring& key, const wchar_t* value, REGSAM view = 0);
// Every value of the key by name, each as RegText reads it; empty when missing.
std::map<std::wstring, std::wstring> RegValues(HKEY root, const std::wstring& key, REGSAM view = 0);
bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
bool WriteRegString(HKEY root, const std::wstring& key, const wchar_t* value,
                    const std::wstring& data);
