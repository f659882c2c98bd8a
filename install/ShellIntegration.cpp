#include "app/SetupContext.h"

// Shell-extension and folder registration: not yet built; nothing is
// registered and nothing reports failure.
void SetupContext::PrepareShellExtensionUpdate() {}

BOOL SetupContext::RegisterShellExtensions() { return TRUE; }

void SetupContext::RequestProductRegistration() {}

void SetupContext::RegisterNamespaceFolderStep() {}
