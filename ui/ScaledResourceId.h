#pragma once

// The skin set for a scale: base ids (scale 1.0) plus 100 per step of 0.5.
int ScaledResourceIdFor(float scale, int baseId);
// The same for the current display scale.
int ScaledResourceId(int baseId);
