#include "ui/BufferedPaint.h"

LRESULT PaintWindowBuffered(HWND window, const std::function<void(HDC)>& draw) {
  PAINTSTRUCT state;
  HDC dc = ::BeginPaint(window, &state);
  RECT client = {};
  ::GetClientRect(window, &client);
  HDC memory = ::CreateCompatibleDC(dc);
  HBITMAP bitmap = ::CreateCompatibleBitmap(dc, client.right > 0 ? client.right : 1,
                                            client.bottom > 0 ? client.bottom : 1);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  draw(memory);
  ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::EndPaint(window, &state);
  return 0;
}

void PaintParentBackground(HWND child, HDC dc) {
  HWND parent = ::GetParent(child);
  if (!parent) return;
  POINT origin = {0, 0};
  ::MapWindowPoints(child, parent, &origin, 1);
  POINT previous = {};
  ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
  ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}
