#include "ui/ScaledResourceId.h"

#include "ui/DisplayScale.h"

int ScaledResourceIdFor(float f, int baseId) {
  if (f > 0.0f && f < 1.00001f) return baseId;
  if (f > 1.00001f && f < 1.50001f) return baseId + 100;
  if (f > 1.50001f && f < 2.00001f) return baseId + 200;
  if (f > 2.00001f && f < 2.50001f) return baseId + 300;
  if (f > 2.50001f && f < 3.50001f) return baseId + 400;
  return baseId;
}

int ScaledResourceId(int baseId) {
  return ScaledResourceIdFor(DisplayScale::Instance().scale(), baseId);
}
