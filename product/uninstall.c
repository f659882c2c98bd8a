// Stand-in for the product's uninstaller: records its start and succeeds.
#include "StandIn.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  StandInRecordLaunch();
  return 0;
}
