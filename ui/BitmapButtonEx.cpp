#include "ui/BitmapButtonEx.h"

#include <windowsx.h>

#include "ui/BufferedPaint.h"

namespace {
constexpr UINT_PTR kFadeTimer = 100;
constexpr DWORD kFadeMs = 300;
}  // namespace

CBitmapButtonEx::CBitmapButtonEx() = default;

CBitmapButtonEx::~CBitmapButtonEx() {
  FreeSnapshot(target_);
  FreeSnapshot(source_);
}

BOOL CBitmapButtonEx::Attach(HWND button) {
  if (!CSubclassedControl::Attach(button)) return FALSE;
  LONG style = ::GetWindowLongW(button, GWL_STYLE);
  ::SetWindowLongW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
  toolTip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, button,
                               nullptr, nullptr, nullptr);
  if (images_ && (extendedStyle_ & kAutoSize)) SetImageList(images_);
  return TRUE;
}

void CBitmapButtonEx::SetImageList(HIMAGELIST images) {
  images_ = images;
  if (hwnd_ && images_ && (extendedStyle_ & kAutoSize)) {
    int width = 0, height = 0;
    ImageList_GetIconSize(images_, &width, &height);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBitmapButtonEx::SetImages(int normal, int pressed, int hover, int disabled) {
  frames_[kNormal] = normal;
  frames_[kPressed] = pressed;
  frames_[kHoverFrame] = hover;
  frames_[kDisabled] = disabled;
}

void CBitmapButtonEx::SetToolTipText(const wchar_t* text) {
  toolTipText_ = text ? text : L"";
  if (!toolTip_) return;
  if (toolTipText_.empty()) {
    ::SendMessageW(toolTip_, TTM_ACTIVATE, FALSE, 0);
    return;
  }
  ::SendMessageW(toolTip_, TTM_ACTIVATE, TRUE, 0);
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = ::GetParent(hwnd_);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  tool.lpszText = &toolTipText_[0];
  ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CBitmapButtonEx::SetTextColor(COLORREF colour) {
  customTextColor_ = colour;
  useCustomTextColor_ = true;
  textColor_ = colour;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

int CBitmapButtonEx::ChooseFrame() {
  auto pick = [this](Frame which) {
    return frames_[which] >= 0 ? frames_[which] : (frames_[kNormal] >= 0 ? frames_[kNormal] : 0);
  };
  if (hwnd_ && !::IsWindowEnabled(hwnd_)) {
    textColor_ = kDisabledText;
    return pick(kDisabled);
  }
  if (state_ & kPressedBit) return pick(kPressed);
  bool hovered = (extendedStyle_ & kHover) ? (state_ & kPointerOver) != 0 : (state_ & kFocus) != 0;
  if (hovered) return pick(kHoverFrame);
  textColor_ = useCustomTextColor_ ? customTextColor_ : kDefaultText;
  return pick(kNormal);
}

void CBitmapButtonEx::PaintImage(HDC dc, int frame) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  if (backgroundBrush_) {
    ::FillRect(dc, &client, backgroundBrush_);
  } else {
    // No brush of its own: the button sits on whatever its parent draws there.
    PaintParentBackground(hwnd_, dc);
  }
  if (images_) {
    int width = 0, height = 0;
    ImageList_GetIconSize(images_, &width, &height);
    if (backgroundBrush_) {
      RECT frameRect = {0, 0, width, height};
      ::FillRect(dc, &frameRect, backgroundBrush_);
    }
    ImageList_Draw(images_, frame, dc, 0, 0, ILD_NORMAL);
  }
}

void CBitmapButtonEx::PaintText(HDC dc) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(hwnd_, text, 1024);
  if (!text[0]) return;
  RECT rect = {};
  ::GetClientRect(hwnd_, &rect);
  rect.bottom -= textLift_;
  if (state_ & kPressedBit) ::OffsetRect(&rect, 1, 1);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  HGDIOBJ previousFont = font ? ::SelectObject(dc, font) : nullptr;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, textColor_);
  ::DrawTextW(dc, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (previousFont) ::SelectObject(dc, previousFont);
}

void CBitmapButtonEx::PaintAll(HDC memory) {
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  int width = client.right, height = client.bottom;
  int frame = ChooseFrame();
  if (fading_ && source_.dc && target_.dc) {
    ::BitBlt(memory, 0, 0, width, height, source_.dc, 0, 0, SRCCOPY);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(fadeFraction_ * 255), 0};
    ::AlphaBlend(memory, 0, 0, width, height, target_.dc, 0, 0, width, height, blend);
  } else {
    PaintImage(memory, frame);
  }
  PaintText(memory);
}

bool CBitmapButtonEx::EnsureSnapshot(Snapshot& snapshot) {
  if (snapshot.dc) return true;
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right > 0 ? client.right : 1;
  info.bmiHeader.biHeight = client.bottom > 0 ? client.bottom : 1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  snapshot.bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  snapshot.dc = ::CreateCompatibleDC(nullptr);
  if (!snapshot.bitmap || !snapshot.dc) {
    FreeSnapshot(snapshot);
    return false;
  }
  snapshot.previous = ::SelectObject(snapshot.dc, snapshot.bitmap);
  return true;
}

void CBitmapButtonEx::FreeSnapshot(Snapshot& snapshot) {
  if (snapshot.dc) {
    if (snapshot.previous) ::SelectObject(snapshot.dc, snapshot.previous);
    ::DeleteDC(snapshot.dc);
  }
  if (snapshot.bitmap) ::DeleteObject(snapshot.bitmap);
  snapshot = Snapshot();
}

void CBitmapButtonEx::StartFade() {
  fading_ = TRUE;
  ::KillTimer(hwnd_, kFadeTimer);
  ::SetTimer(hwnd_, kFadeTimer, 20, nullptr);
  fadeStart_ = ::GetTickCount();
  fadeFraction_ = 0.0f;
}

void CBitmapButtonEx::OnTimer() {
  DWORD elapsed = ::GetTickCount() - fadeStart_;
  if (elapsed >= kFadeMs) {
    fadeFraction_ = 1.0f;
    fading_ = FALSE;
    ::KillTimer(hwnd_, kFadeTimer);
  } else {
    fadeFraction_ = static_cast<float>(elapsed) / kFadeMs;
  }
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBitmapButtonEx::OnMouseMove(LPARAM lParam) {
  if (::GetCapture() == hwnd_) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(hwnd_, &point);
    RECT window = {};
    ::GetWindowRect(hwnd_, &window);
    DWORD pressed = ::PtInRect(&window, point) ? kPressedBit : 0;
    if ((state_ & kPressedBit) != pressed) {
      state_ = (state_ & ~kPressedBit) | pressed;
      ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
    return;
  }
  if (!(extendedStyle_ & kHover) || (state_ & kPointerOver)) return;
  bool snapshots = EnsureSnapshot(source_) && EnsureSnapshot(target_);
  if (snapshots) PaintImage(source_.dc, ChooseFrame());
  state_ |= kPointerOver;
  if (snapshots) {
    PaintImage(target_.dc, ChooseFrame());
    StartFade();
  }
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd_, 0};
  ::TrackMouseEvent(&track);
}

void CBitmapButtonEx::OnMouseLeave() {
  if (!(state_ & kPointerOver)) return;
  bool snapshots = EnsureSnapshot(source_) && EnsureSnapshot(target_);
  if (snapshots) PaintImage(source_.dc, ChooseFrame());
  state_ &= ~kPointerOver;
  if (snapshots) {
    PaintImage(target_.dc, ChooseFrame());
    StartFade();
  }
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBitmapButtonEx::Relay(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!toolTip_) return;
  MSG relayed = {hwnd_, msg, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
  ::SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT CBitmapButtonEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) Relay(msg, wParam, lParam);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintWindowBuffered(hwnd_, [this](HDC memory) { PaintAll(memory); });
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      PaintImage(dc, ChooseFrame());
      PaintText(dc);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kFadeTimer) {
        OnTimer();
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(lParam);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ::SetCapture(hwnd_);
      ::SetFocus(hwnd_);
      state_ |= kPressedBit;
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      ::UpdateWindow(hwnd_);
      return 0;
    case WM_LBUTTONUP:
      if (::GetCapture() == hwnd_) {
        bool clicked = (state_ & kPressedBit) != 0;
        state_ &= ~kPressedBit;
        ::ReleaseCapture();
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        if (clicked) {
          ::SendMessageW(::GetParent(hwnd_), WM_COMMAND,
                         MAKEWPARAM(::GetDlgCtrlID(hwnd_), BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd_));
        }
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (state_ & kPressedBit) {
        state_ &= ~kPressedBit;
        ::InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_SETFOCUS:
      state_ |= kFocus;
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    case WM_KILLFOCUS:
      state_ &= ~kFocus;
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    case WM_SETCURSOR:
      if (handCursor_) ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      else ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    case WM_ENABLE:
    case WM_SETTEXT: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    case WM_DESTROY:
      ::KillTimer(hwnd_, kFadeTimer);
      if (toolTip_) ::DestroyWindow(toolTip_);
      toolTip_ = nullptr;
      if (images_ && !(extendedStyle_ & kSharedImages)) ImageList_Destroy(images_);
      images_ = nullptr;
      toolTipText_.clear();
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}
