#include "app/SetupContext.h"

// Shell refresh and starting the product: not yet built.
void SetupContext::RefreshShellStep() {}

void SetupContext::PostInstallLaunch() {}
