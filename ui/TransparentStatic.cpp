#include "ui/TransparentStatic.h"

#include "ui/BufferedPaint.h"

void CTransparentStatic::SetText(const wchar_t* text) {
  if (hwnd_) ::SetWindowTextW(hwnd_, text);
}

void CTransparentStatic::SetTextColor(COLORREF colour) {
  textColour_ = colour;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CTransparentStatic::SetFont(HFONT font) {
  font_ = font;
  if (hwnd_) {
    if (font) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void CTransparentStatic::Paint(HDC memory) {
  if (!font_) font_ = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  PaintParentBackground(hwnd_, memory);
  wchar_t text[1024] = {};
  ::GetWindowTextW(hwnd_, text, 1024);
  HGDIOBJ previousFont = font_ ? ::SelectObject(memory, font_) : nullptr;
  // A line wider than the control is drawn in a smaller size of the same
  // font rather than cut off (a CJK label in a fixed-width slot).
  HFONT fitted = nullptr;
  RECT needed = client;
  ::DrawTextW(memory, text, -1, &needed, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  int neededWidth = needed.right - needed.left;
  if (font_ && neededWidth > client.right && client.right > 0) {
    LOGFONTW logFont = {};
    ::GetObjectW(font_, sizeof(logFont), &logFont);
    logFont.lfHeight = static_cast<LONG>(static_cast<long long>(logFont.lfHeight) * client.right /
                                         neededWidth);
    logFont.lfWidth = 0;
    fitted = ::CreateFontIndirectW(&logFont);
    if (fitted) ::SelectObject(memory, fitted);
  }
  ::SetBkMode(memory, TRANSPARENT);
  ::SetTextColor(memory, textColour_);
  LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  UINT align = DT_LEFT;
  if ((style & SS_TYPEMASK) == SS_CENTER) align = DT_CENTER;
  else if ((style & SS_TYPEMASK) == SS_RIGHT) align = DT_RIGHT;
  ::DrawTextW(memory, text, -1, &client, align | DT_SINGLELINE | DT_NOPREFIX);
  if (previousFont) ::SelectObject(memory, previousFont);
  if (fitted) ::DeleteObject(fitted);
}

LRESULT CTransparentStatic::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintWindowBuffered(hwnd_, [this](HDC memory) { Paint(memory); });
    case WM_SETTEXT: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}
