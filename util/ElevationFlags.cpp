#include "util/ElevationFlags.h"

BOOL Restarted = FALSE;
BOOL GreenMode = FALSE;
