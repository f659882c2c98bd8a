#include "ui/ResourceString.h"

#include <windows.h>

#include "app/InstallApp.h"

std::wstring ResourceString(unsigned id) {
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(App().ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}
