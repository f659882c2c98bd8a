#include "install/ProductFolder.h"

#include <windows.h>
#include <shlwapi.h>
#include <wchar.h>

#include "install/RegistryNames.h"

std::wstring NormalizeProductFolder(const std::wstring& folder) {
  const wchar_t* name = registry_names::kDefaultFolderName;
  wchar_t path[MAX_PATH + 32] = {};
  wcsncpy(path, folder.c_str(), MAX_PATH - 1);
  ::PathRemoveBackslashW(path);
  std::wstring result = path;
  if (::PathIsRootW(path)) return result + name;
  wchar_t last[MAX_PATH + 32] = {};
  wcsncpy(last, path, MAX_PATH - 1);
  ::PathStripPathW(last);
  if (::StrCmpW(last, name) == 0) return result;
  return result + L"\\" + name;
}
