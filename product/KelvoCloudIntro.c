// Stand-in for the first-run introduction: records its start and stays
// until it is terminated. It pumps messages so that WaitForInputIdle on it
// returns as it would for the real one.
#include "StandIn.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  StandInRecordLaunch();
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
