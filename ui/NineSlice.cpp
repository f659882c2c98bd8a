#include "ui/NineSlice.h"

#include <algorithm>

namespace {

// Shrinks two borders that together exceed the length, half from the first.
void FitBorders(int length, int* first, int* second) {
  if (*first + *second <= length) return;
  int excess = *first + *second - length;
  *first -= excess / 2;
  *second = length - *first;
}

}  // namespace

int ComputeNineSlice(const RECT& dest, int frameWidth, int imageHeight, int frameIndex, int top,
                     int bottom, int left, int right, NineSlicePiece pieces[9]) {
  int width = dest.right - dest.left;
  int height = dest.bottom - dest.top;
  if (top < 1) top = std::min(height / 3, imageHeight / 3);
  if (bottom < 1) bottom = std::min(height / 3, imageHeight / 3);
  if (left < 1) left = std::min(frameWidth / 3, width / 3);
  if (right < 1) right = std::min(frameWidth / 3, width / 3);
  FitBorders(width, &left, &right);
  FitBorders(height, &top, &bottom);

  int sourceCentreWidth = frameWidth - left - right;
  int sourceCentreHeight = imageHeight - top - bottom;
  int destCentreWidth = width - left - right;
  int destCentreHeight = height - top - bottom;
  int frameX = frameIndex * frameWidth;

  const int destXs[3] = {static_cast<int>(dest.left), static_cast<int>(dest.left) + left,
                         static_cast<int>(dest.right) - right};
  const int destYs[3] = {static_cast<int>(dest.top), static_cast<int>(dest.top) + top,
                         static_cast<int>(dest.bottom) - bottom};
  const int destWs[3] = {left, destCentreWidth, right};
  const int destHs[3] = {top, destCentreHeight, bottom};
  const int sourceXs[3] = {frameX, frameX + left, frameX + frameWidth - right};
  const int sourceYs[3] = {0, top, imageHeight - bottom};
  const int sourceWs[3] = {left, sourceCentreWidth, right};
  const int sourceHs[3] = {top, sourceCentreHeight, bottom};

  int count = 0;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (destWs[column] <= 0 || destHs[row] <= 0) continue;
      if (sourceWs[column] <= 0 || sourceHs[row] <= 0) continue;
      pieces[count++] = {destXs[column], destYs[row], destWs[column], destHs[row],
                         sourceXs[column], sourceYs[row], sourceWs[column], sourceHs[row]};
    }
  }
  return count;
}
