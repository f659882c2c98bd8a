#pragma once
#include <windows.h>

#include <string>

// Redirects HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT of this
// process to fresh private keys for the lifetime of the object, so registry
// tests never see each other or the prefix's real hives.
class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

 private:
  std::wstring base_;
  HKEY machine_ = nullptr;
  HKEY user_ = nullptr;
  HKEY classes_ = nullptr;
};

// Small registry readers for assertions.
bool ReadRegString(HKEY root, const wchar_t* key, const wchar_t* value, std::wstring* out,
                   DWORD* type = nullptr);
bool ReadRegStringA(HKEY root, const char* key, const char* value, std::string* out);
bool WriteRegString(HKEY root, const wchar_t* key, const wchar_t* value, const std::wstring& data);
bool WriteRegStringA(HKEY root, const char* key, const char* value, const std::string& data);
bool RegKeyExists(HKEY root, const wchar_t* key);
