#include "install/ShellLink.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

namespace {

IShellLinkW* NewShellLink() {
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
    return nullptr;
  }
  return link;
}

}  // namespace

BOOL CreateLink(const wchar_t* target, const wchar_t* linkPath, const wchar_t* arguments) {
  IShellLinkW* link = NewShellLink();
  if (!link) return FALSE;
  BOOL saved = FALSE;
  wchar_t folder[MAX_PATH] = {};
  wcsncpy(folder, target, MAX_PATH - 1);
  ::PathRemoveFileSpecW(folder);
  link->SetPath(target);
  link->SetWorkingDirectory(folder);
  if (arguments) link->SetArguments(arguments);
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    saved = SUCCEEDED(file->Save(linkPath, TRUE));
    file->Release();
  }
  link->Release();
  return saved;
}

BOOL ReadLinkTarget(const wchar_t* linkPath, wchar_t* buffer, int capacity) {
  wmemset(buffer, L'\0', capacity + 1);
  IShellLinkW* link = NewShellLink();
  if (!link) return FALSE;
  BOOL read = FALSE;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(linkPath, STGM_READ)) &&
        SUCCEEDED(link->Resolve(nullptr, SLR_NO_UI | SLR_ANY_MATCH)) &&
        SUCCEEDED(link->GetPath(buffer, capacity, nullptr, SLGP_RAWPATH))) {
      read = TRUE;
    } else {
      wmemset(buffer, L'\0', capacity + 1);
    }
    file->Release();
  }
  link->Release();
  return read;
}

bool LinkPointsAt(const wchar_t* linkPath, const wchar_t* target) {
  wchar_t current[1024];
  ReadLinkTarget(linkPath, current, 1023);
  return current[0] && lstrcmpiW(current, target) == 0;
}
