#include "install/ShellAutomation.h"

#include <exdisp.h>
#include <oleauto.h>
#include <shlguid.h>
#include <shlobj.h>

namespace {

// Releases a COM pointer at the end of the scope.
template <typename T>
class Released {
 public:
  ~Released() {
    if (p) p->Release();
  }
  T* p = nullptr;
  T** out() { return &p; }
  void** outVoid() { return reinterpret_cast<void**>(&p); }
};

}  // namespace

IShellDispatch2* GetExplorerShellDispatch() {
  Released<IShellWindows> windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, windows.outVoid())) ||
      !windows.p) {
    return nullptr;
  }
  VARIANT location;
  VARIANT root;
  ::VariantInit(&location);
  ::VariantInit(&root);
  long window = 0;
  Released<IDispatch> desktop;
  if (windows.p->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.out()) != S_OK ||
      !desktop.p) {
    return nullptr;
  }
  // What IUnknown_QueryService does; SHLWAPI exports it by name only from
  // Vista on.
  Released<IServiceProvider> services;
  if (FAILED(desktop.p->QueryInterface(IID_IServiceProvider, services.outVoid())) ||
      !services.p) {
    return nullptr;
  }
  Released<IShellBrowser> browser;
  if (FAILED(services.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      browser.outVoid())) ||
      !browser.p) {
    return nullptr;
  }
  Released<IShellView> view;
  if (FAILED(browser.p->QueryActiveShellView(view.out())) || !view.p) return nullptr;
  Released<IDispatch> background;
  if (FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) ||
      !background.p) {
    return nullptr;
  }
  Released<IShellFolderViewDual> folderView;
  if (FAILED(background.p->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) ||
      !folderView.p) {
    return nullptr;
  }
  Released<IDispatch> application;
  if (FAILED(folderView.p->get_Application(application.out())) || !application.p) return nullptr;
  IShellDispatch2* shell = nullptr;
  if (FAILED(application.p->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)))) {
    return nullptr;
  }
  return shell;
}

BOOL ShellExecuteInExplorer(IShellDispatch2* dispatch, const wchar_t* file,
                            const wchar_t* arguments, int showCommand) {
  if (!dispatch || !file) return FALSE;
  BSTR fileText = ::SysAllocString(file);
  if (!fileText) return FALSE;
  VARIANT args, folder, operation, show;
  ::VariantInit(&args);
  ::VariantInit(&folder);
  ::VariantInit(&operation);
  ::VariantInit(&show);
  if (arguments) {
    args.vt = VT_BSTR;
    args.bstrVal = ::SysAllocString(arguments);
  }
  show.vt = VT_I4;
  show.lVal = showCommand;
  HRESULT result = dispatch->ShellExecute(fileText, args, folder, operation, show);
  ::VariantClear(&args);
  ::SysFreeString(fileText);
  return result == S_OK;
}
