// Waits until the desktop shell's automation objects answer, reached as the
// installer reaches them: e2e-run starts no case before (20 s at most).
#include "install/ShellAutomation.h"

int main() {
  ::CoInitialize(nullptr);
  for (int tries = 0; tries < 200; ++tries, ::Sleep(100)) {
    if (IShellDispatch2* shell = GetExplorerShellDispatch()) return shell->Release(), 0;
  }
  return 1;
}
