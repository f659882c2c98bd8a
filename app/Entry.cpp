#include "app/Entry.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/InstallApp.h"
#include "ui/DisplayScale.h"
#include "ui/MessageLoop.h"

int Entry(HINSTANCE instance, const wchar_t* argumentString, int showCommand) {
  DisplayScale::Instance().SetFromMonitor();
  CInstallApp& app = App();
  if (!app.Init(instance, argumentString ? argumentString : L"")) return 0;

  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {8, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  WindowFramework::Init();

  int exitCode = app.Run();

  WindowFramework::ShutDown();
  ::CoUninitialize();
  return exitCode;
}
