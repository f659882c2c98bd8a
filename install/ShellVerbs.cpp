#include "install/ShellVerbs.h"

#include <objbase.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include <string>

#include "install/ShellAutomation.h"
#include "unpack/TrustedLoad.h"
#include "util/ComRef.h"
#include "util/SystemSeam.h"

namespace {

// shell32's string ids of its pin verbs.
constexpr UINT kTaskbarPinTextId = 5386;  // unpin is the next id
constexpr UINT kStartPinTextId = 51201;
constexpr UINT kStartUnpinTextId = 51394;

// A BSTR freed when it goes out of scope.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text = nullptr) : s(text ? ::SysAllocString(text) : nullptr) {}
  ~Bstr() { ::SysFreeString(s); }
  BSTR s;
};

std::wstring LoadShellText(UINT id) {
  // By full path: a bare name is searched for beside the installer first
  // where the loader cannot be restricted to the system folder.
  HMODULE shell32 = LoadFromSystemFolder("shell32.dll");
  if (!shell32) return std::wstring();
  wchar_t text[260] = {};
  int length = Seam().LoadStringW(shell32, id, text, 260);
  ::FreeLibrary(shell32);
  return length > 0 ? std::wstring(text, length) : std::wstring();
}

void InvokeVerbByText(const wchar_t* filePath, const std::wstring& verbText) {
  std::wstring path = filePath;
  size_t cut = path.find_last_of(L'\\');
  if (cut == std::wstring::npos) cut = path.find_last_of(L'/');
  if (cut == std::wstring::npos) return;
  std::wstring folderPath = path.substr(0, cut);
  std::wstring fileName = path.substr(cut + 1);

  ComRef<IShellDispatch2> shell;
  shell.p = GetExplorerShellDispatch(CLSCTX_ALL);
  if (!shell) return;

  VARIANT folderArg;
  ::VariantInit(&folderArg);
  folderArg.vt = VT_BSTR;
  folderArg.bstrVal = ::SysAllocString(folderPath.c_str());
  ComRef<Folder> folder;
  HRESULT hr = shell->NameSpace(folderArg, folder.out());
  ::VariantClear(&folderArg);
  if (hr != S_OK || !folder) return;

  Bstr name(fileName.c_str());
  ComRef<FolderItem> item;
  if (folder->ParseName(name.s, item.out()) != S_OK || !item) return;
  ComRef<FolderItemVerbs> verbs;
  if (FAILED(item->Verbs(verbs.out())) || !verbs) return;
  long count = 0;
  if (FAILED(verbs->get_Count(&count))) return;

  for (long i = 0; i < count; ++i) {
    VARIANT index;
    ::VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    ComRef<FolderItemVerb> verb;
    if (FAILED(verbs->Item(index, verb.out())) || !verb) return;
    BSTR verbName = nullptr;
    if (FAILED(verb->get_Name(&verbName))) return;
    // Exact text, accelerator ampersand included.
    bool match = verbName && ::SysStringLen(verbName) == verbText.size() &&
                 wmemcmp(verbName, verbText.c_str(), verbText.size()) == 0;
    ::SysFreeString(verbName);
    if (match) {
      verb->DoIt();
      return;
    }
  }
}

void InvokeShellVerb(UINT textId, const wchar_t* filePath) {
  if (!filePath || !*filePath || !::PathFileExistsW(filePath)) return;
  std::wstring text = LoadShellText(textId);
  if (text.empty()) return;
  InvokeVerbByText(filePath, text);
}

}  // namespace

void InvokeTaskbarVerb(ShellPinVerb which, const wchar_t* filePath) {
  InvokeShellVerb(kTaskbarPinTextId + which, filePath);
}

void InvokeStartVerb(ShellPinVerb which, const wchar_t* filePath) {
  InvokeShellVerb(which == kPinVerb ? kStartPinTextId : kStartUnpinTextId, filePath);
}
