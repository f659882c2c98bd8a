#include "app/Entry.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/Elevation.h"
#include "app/InstallApp.h"
#include "install/ExitCodes.h"
#include "ui/DisplayScale.h"
#include "ui/MessageLoop.h"
#include "unpack/BaseLibrary.h"
#include "unpack/WorkFolder.h"
#include "util/ElevationFlags.h"

namespace {

// What the elevated run unpacks and loads lives in its own work folder,
// where no program without rights can swap or plant a file; the folder goes
// when the run ends, the base library loaded from it first let go.
class ScopedWorkFolder {
 public:
  ScopedWorkFolder() {
    if (!GreenMode && HasAdministratorRights()) CreateWorkFolder();
  }
  ~ScopedWorkFolder() {
    if (!WorkFolderPath()[0]) return;
    UnloadBaseLibrary();
    RemoveWorkFolder();
  }
};

}  // namespace

int Entry(HINSTANCE instance, const wchar_t* argumentString, int showCommand) {
  DisplayScale::Instance().SetFromMonitor();
  const wchar_t* arguments = argumentString ? argumentString : L"";
  // The elevated copy takes over; it runs before our single-instance mutex
  // exists, so the two never collide.
  if (Elevate(arguments, showCommand) == 1) return 0;

  ScopedWorkFolder workFolder;
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
