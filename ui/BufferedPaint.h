#pragma once
#include <windows.h>

#include <functional>

// Painting shared by the skinned windows and controls.

// Paints window's client area through a memory bitmap, copied to dc in one
// go so that a repaint never flickers: draw paints the whole area into the
// memory DC it is given, whose origin is the client origin.
void PaintBuffered(HWND window, HDC dc, const std::function<void(HDC)>& draw);

// Paints what lies behind a child window (its parent's client area, through
// WM_PRINTCLIENT) into dc, whose origin is the child's client origin.
void PaintParentBackground(HWND child, HDC dc);

// Answers WM_PAINT: paint draws into the window's paint DC. Returns 0.
LRESULT PaintWindow(HWND window, const std::function<void(HDC)>& paint);
