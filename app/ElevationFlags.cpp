#include "app/ElevationFlags.h"

BOOL Restarted = FALSE;
BOOL GreenMode = FALSE;
