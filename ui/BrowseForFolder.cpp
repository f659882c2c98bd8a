#include "ui/BrowseForFolder.h"

#include <objbase.h>
#include <shlobj.h>

#include "install/ProductFolder.h"
#include "ui/FolderCheck.h"

namespace {

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM lParam, LPARAM data) {
  const wchar_t* start = reinterpret_cast<const wchar_t*>(data);
  if (msg == BFFM_INITIALIZED) {
    if (start && *start) ::SendMessageW(dialog, BFFM_SETEXPANDED, TRUE, data);
  } else if (msg == BFFM_SELCHANGED && lParam) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path);
    // Every selection may be confirmed; the product-folder rule fixes it up.
    ::SendMessageW(dialog, BFFM_ENABLEOK, 0, 1);
  }
  return 0;
}

}  // namespace

void BrowseForFolder(HWND owner, HWND pathEdit) {
  wchar_t current[MAX_PATH] = {};
  ::GetWindowTextW(pathEdit, current, MAX_PATH);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = L"请选择路径";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_BROWSEFORCOMPUTER;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(current);
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  if (::SHGetPathFromIDListW(chosen, path)) {
    ::SetWindowTextW(pathEdit, NormalizeProductFolder(path).c_str());
  }
  ::CoTaskMemFree(chosen);
}
