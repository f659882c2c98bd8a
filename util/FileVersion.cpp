#include "util/FileVersion.h"

#include <stdio.h>

#include <vector>

std::wstring ReadFileVersionText(const wchar_t* path) {
  unsigned parts[4] = {0, 0, 0, 0};
  DWORD ignored = 0;
  DWORD size = path ? ::GetFileVersionInfoSizeW(path, &ignored) : 0;
  if (size > 0) {
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (::GetFileVersionInfoW(path, 0, size, block.data()) &&
        ::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) &&
        fixed && fixedSize >= sizeof(VS_FIXEDFILEINFO) && fixed->dwSignature == 0xFEEF04BD) {
      parts[0] = HIWORD(fixed->dwFileVersionMS);
      parts[1] = LOWORD(fixed->dwFileVersionMS);
      parts[2] = HIWORD(fixed->dwFileVersionLS);
      parts[3] = LOWORD(fixed->dwFileVersionLS);
    }
  }
  wchar_t text[64] = {};
  _snwprintf(text, 63, L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
  return text;
}
