#include "app/SetupContext.h"

// Uninstall entry and App Paths: not yet built.
void SetupContext::WriteRegistryRecords() {}
