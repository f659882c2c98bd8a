#include <shlwapi.h>

#include "app/SetupContext.h"
#include "util/FolderOps.h"

// The stop sequence: not yet built; the product is left running.
void SetupContext::StopRunningProduct() {}

void SetupContext::StopRunningProduct(WPARAM cleanFolder) {
  // A fresh install moving elsewhere drops what was pre-extracted.
  if (installMode == kFreshInstall && cleanFolder && ::PathIsDirectoryW(defaultInstallDir.c_str())) {
    DeleteDirectoryTree(defaultInstallDir.c_str());
  }
  StopRunningProduct();
  CreateProductMutex();
}
