#include "app/SetupContext.h"

// Shortcuts: not yet built.
void SetupContext::CreateDesktopShortcut() {}
