#include "ui/LicenceText.h"

std::wstring LoadLicenceText(HMODULE module, const wchar_t* name) {
  HRSRC found = ::FindResourceW(module, name, L"LICENCE");
  DWORD size = found ? ::SizeofResource(module, found) : 0;
  HGLOBAL loaded = size ? ::LoadResource(module, found) : nullptr;
  const auto* data = static_cast<const wchar_t*>(loaded ? ::LockResource(loaded) : nullptr);
  if (!data || size < sizeof(wchar_t)) return std::wstring();
  size_t units = size / sizeof(wchar_t);
  std::wstring text;
  for (size_t i = 1; i < units && data[i] != L'\0'; ++i) text.push_back(data[i]);
  return text;
}
