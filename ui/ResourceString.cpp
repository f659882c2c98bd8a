#include "ui/ResourceString.h"

std::wstring ResourceString(HMODULE module, unsigned id) {
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}
