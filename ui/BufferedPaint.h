#pragma once
#include <windows.h>

#include <functional>

// Painting shared by the skinned windows and controls.

// Answers WM_PAINT through a memory bitmap, copied to the screen in one go so
// that a repaint never flickers: draw paints the window's whole client area
// into the memory DC it is given, whose origin is the client origin.
// Returns 0.
LRESULT PaintWindowBuffered(HWND window, const std::function<void(HDC)>& draw);

// Paints what lies behind a child window (its parent's client area, through
// WM_PRINTCLIENT) into dc, whose origin is the child's client origin.
void PaintParentBackground(HWND child, HDC dc);
