#include <windows.h>

#include "app/Entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR argumentString, int showCommand) {
  return Entry(instance, argumentString, showCommand);
}
