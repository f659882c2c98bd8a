#pragma once
#include <windows.h>

class SetupContext;

// Whether the shell still has the old shell extension loaded and must be
// restarted for the new one: the extension holds its mutex, and the product
// has not already restarted the shell for this install folder.
BOOL ShouldRestartExplorer(const SetupContext& context);
