#include "install/ShellAutomation.h"

#include <exdisp.h>
#include <oleauto.h>
#include <shlguid.h>
#include <shlobj.h>

#include "util/ComRef.h"

IShellDispatch2* GetExplorerShellDispatch(DWORD serverContext) {
  ComRef<IShellWindows> windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, serverContext, IID_IShellWindows,
                                windows.outVoid())) ||
      !windows) {
    return nullptr;
  }
  VARIANT location;
  VARIANT root;
  ::VariantInit(&location);
  ::VariantInit(&root);
  long window = 0;
  ComRef<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            desktop.out()) != S_OK ||
      !desktop) {
    return nullptr;
  }
  // What IUnknown_QueryService does; SHLWAPI exports it by name only from
  // Vista on.
  ComRef<IServiceProvider> services;
  ComRef<IShellBrowser> browser;
  ComRef<IShellView> view;
  ComRef<IDispatch> background;
  ComRef<IShellFolderViewDual> folderView;
  ComRef<IDispatch> application;
  IShellDispatch2* shell = nullptr;
  if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.outVoid())) || !services ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) ||
      !browser || FAILED(browser->QueryActiveShellView(view.out())) || !view ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) ||
      !background ||
      FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) ||
      !folderView || FAILED(folderView->get_Application(application.out())) || !application ||
      FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)))) {
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

BOOL ShellExecuteThroughDesktopShell(const wchar_t* file, const wchar_t* arguments,
                                     int showCommand) {
  ComRef<IShellDispatch2> shell;
  shell.p = GetExplorerShellDispatch();
  return ShellExecuteInExplorer(shell.p, file, arguments, showCommand);
}
