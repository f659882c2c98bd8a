#include "ui/SimpleLabel.h"

#include "ui/BufferedPaint.h"

CSimpleLabel::CSimpleLabel()
    : textColour_(::GetSysColor(COLOR_WINDOWTEXT)), hand_(::LoadCursorW(nullptr, IDC_HAND)) {
  faceBrush_ = ::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
  faceBrushDisabled_ = ::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
}

CSimpleLabel::~CSimpleLabel() {
  if (font_) ::DeleteObject(font_);
  if (faceBrush_) ::DeleteObject(faceBrush_);
  if (faceBrushDisabled_) ::DeleteObject(faceBrushDisabled_);
}

BOOL CSimpleLabel::Attach(HWND label) {
  if (!CSubclassedControl::Attach(label)) return FALSE;
  SetNotify(notify_);
  return TRUE;
}

void CSimpleLabel::SetText(const wchar_t* text) {
  if (hwnd_) ::SetWindowTextW(hwnd_, text);
}

void CSimpleLabel::SetTextColor(COLORREF colour) {
  textColour_ = colour;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CSimpleLabel::SetFont(const LOGFONTW& logFont) {
  logFont_ = logFont;
  if (font_) ::DeleteObject(font_);
  font_ = ::CreateFontIndirectW(&logFont_);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CSimpleLabel::SetNotify(bool on) {
  notify_ = on;
  if (!hwnd_) return;
  LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  ::SetWindowLongW(hwnd_, GWL_STYLE, on ? (style | SS_NOTIFY) : (style & ~SS_NOTIFY));
}

void CSimpleLabel::Paint(HDC memory) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  PaintParentBackground(hwnd_, memory);
  wchar_t text[1024] = {};
  ::GetWindowTextW(hwnd_, text, 1024);
  HGDIOBJ previousFont = font_ ? ::SelectObject(memory, font_) : nullptr;
  ::SetBkMode(memory, TRANSPARENT);
  ::SetTextColor(memory, textColour_ == kCaptionTextColour ? ::GetSysColor(COLOR_CAPTIONTEXT)
                                                           : textColour_);
  ::DrawTextW(memory, text, -1, &client, DT_LEFT | DT_WORDBREAK);
  if (previousFont) ::SelectObject(memory, previousFont);
}

LRESULT CSimpleLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintWindowBuffered(hwnd_, [this](HDC memory) { Paint(memory); });
    case WM_SETCURSOR:
      ::SetCursor(hand_);
      return TRUE;
    case WM_SETTEXT: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}
