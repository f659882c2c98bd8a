#include "app/Entry.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/InstallApp.h"

int Entry(HINSTANCE instance, const wchar_t* argumentString, int showCommand) {
  CInstallApp& app = App();
  if (!app.Init(instance, argumentString ? argumentString : L"")) return 0;

  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {8, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  int exitCode = app.Run();

  ::CoUninitialize();
  return exitCode;
}
