#include "app/Entry.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/Elevation.h"
#include "app/InstallApp.h"
#include "install/ExitCodes.h"
#include "ui/DisplayScale.h"
#include "ui/MessageLoop.h"

int Entry(HINSTANCE instance, const wchar_t* argumentString, int showCommand) {
  DisplayScale::Instance().SetFromMonitor();
  const wchar_t* arguments = argumentString ? argumentString : L"";
  // The elevated copy takes over; it runs before our single-instance mutex
  // exists, so the two never collide.
  if (Elevate(arguments, showCommand) == 1) return 0;

  CInstallApp& app = App();
  if (!app.Init(instance, arguments)) return app.silent ? kExitAnotherInstance : 0;

  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {8, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  WindowFramework::Init();

  int exitCode = app.Run();

  WindowFramework::ShutDown();
  ::CoUninitialize();
  return exitCode;
}
