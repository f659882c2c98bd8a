#pragma once
#include <windows.h>

// One piece of a nine-slice draw: destination and source rectangles.
struct NineSlicePiece {
  int destX, destY, destWidth, destHeight;
  int sourceX, sourceY, sourceWidth, sourceHeight;
};

// Splits frame frameIndex of an image (frames side by side, each frameWidth
// wide, imageHeight high) into the pieces that cover dest: corners 1:1,
// edges stretched one way, centre both ways. Borders below 1 take their
// defaults; borders that do not fit are shrunk. Pieces with an empty side
// are left out. Returns the number of pieces written to pieces[9].
int ComputeNineSlice(const RECT& dest, int frameWidth, int imageHeight, int frameIndex, int top,
                     int bottom, int left, int right, NineSlicePiece pieces[9]);
