// The skinned controls on real windows in this process: the image button's
// frames, text colours, clicks and hover fade, the link label's clicks, and
// how a control is taken over and handed back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "ui/SkinResources.h"
#include "support/InstallerResources.h"
#include "ui/BitmapButtonEx.h"
#include "ui/SimpleLabel.h"
#include "ui/SubclassedControl.h"

namespace {

// A parent window that records the commands its children send.
class Host {
 public:
  Host() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Host::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvoTestControlHost";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowW(wc.lpszClassName, L"host", WS_POPUP, 0, 0, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Host() { ::DestroyWindow(window_); }
  HWND Child(const wchar_t* cls, DWORD style, int id) {
    return ::CreateWindowW(cls, L"", WS_CHILD | WS_VISIBLE | style, 10, 10, 160, 36, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
  }
  HWND window() const { return window_; }
  int lastId = 0, lastCode = -1, commands = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && self) {
      self->lastId = LOWORD(wParam);
      self->lastCode = HIWORD(wParam);
      ++self->commands;
      return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HWND window_ = nullptr;
};

class SkinnedControls : public ::testing::Test {
 protected:
  void SetUp() override { skin_.SetModule(module_.get()); }
  InstallerModule module_;
  SkinResources skin_;
  Host host_;
};

TEST_F(SkinnedControls, ButtonFramesFollowStateAndDisabledColourLingers) {
  HWND hwnd = host_.Child(L"BUTTON", BS_PUSHBUTTON, 1000);
  CBitmapButtonEx button;
  button.SetExtendedStyle(CBitmapButtonEx::kHover);
  ASSERT_TRUE(button.Attach(hwnd));
  EXPECT_EQ(::GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  button.SetImageList(skin_.InstallButtonImages());
  button.SetImages(0, 2, 1, 3);
  button.SetTextColor(RGB(255, 255, 255));

  EXPECT_EQ(button.ChooseFrame(), 0);
  EXPECT_EQ(button.textColor(), RGB(255, 255, 255));
  ::EnableWindow(hwnd, FALSE);
  EXPECT_EQ(button.ChooseFrame(), 3);
  EXPECT_EQ(button.textColor(), CBitmapButtonEx::kDisabledText);

  // Re-enabled while the pointer rests on it: the hover frame keeps the
  // disabled colour until the normal frame is chosen again.
  ::EnableWindow(hwnd, TRUE);
  ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ::EnableWindow(hwnd, FALSE);
  EXPECT_EQ(button.ChooseFrame(), 3);
  ::EnableWindow(hwnd, TRUE);
  EXPECT_EQ(button.ChooseFrame(), 1);
  EXPECT_EQ(button.textColor(), CBitmapButtonEx::kDisabledText);
  ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(button.ChooseFrame(), 0);
  EXPECT_EQ(button.textColor(), RGB(255, 255, 255));
}

TEST_F(SkinnedControls, HoverStartsAFadeAndLeavingRestartsIt) {
  HWND hwnd = host_.Child(L"BUTTON", BS_PUSHBUTTON, 1000);
  CBitmapButtonEx button;
  button.SetExtendedStyle(CBitmapButtonEx::kHover);
  ASSERT_TRUE(button.Attach(hwnd));
  button.SetImageList(skin_.InstallButtonImages());
  button.SetImages(0, 2, 1, 3);
  EXPECT_FALSE(button.fading());
  ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(button.fading());
  EXPECT_EQ(button.fadeFraction(), 0.0f);
  ::SendMessageW(hwnd, WM_TIMER, 100, 0);
  ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(button.fading());
  EXPECT_EQ(button.fadeFraction(), 0.0f);
  // A second move while over the button starts nothing new.
  ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
  EXPECT_EQ(button.ChooseFrame(), 1);
}

TEST_F(SkinnedControls, ButtonClickReachesTheParentOnlyWhenReleasedOverIt) {
  HWND hwnd = host_.Child(L"BUTTON", BS_PUSHBUTTON, 1000);
  CBitmapButtonEx button;
  button.SetExtendedStyle(CBitmapButtonEx::kHover);
  ASSERT_TRUE(button.Attach(hwnd));
  button.SetImages(0, 2, 1, 3);
  ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(button.ChooseFrame(), 2);
  ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(host_.commands, 1);
  EXPECT_EQ(host_.lastId, 1000);
  EXPECT_EQ(host_.lastCode, BN_CLICKED);

  // Dragged off before release: no click.
  ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 500));
  ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(500, 500));
  EXPECT_EQ(host_.commands, 1);
  EXPECT_EQ(::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), HTCLIENT), TRUE);
}

TEST_F(SkinnedControls, LinkLabelNotifiesItsParent) {
  HWND hwnd = host_.Child(L"STATIC", SS_LEFT, 1018);
  CSimpleLabel link;
  ASSERT_TRUE(link.Attach(hwnd));
  link.SetNotify(true);
  link.SetText(L"自定义安装");
  link.SetTextColor(RGB(99, 115, 135));
  ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(host_.lastId, 1018);
  EXPECT_EQ(host_.lastCode, STN_CLICKED);
  EXPECT_EQ(::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), HTCLIENT), TRUE);
  EXPECT_EQ(::SendMessageW(hwnd, WM_ERASEBKGND, 0, 0), 1);
}

// Counts the messages that pass through it and leaves them to the control.
class CountingControl : public CSubclassedControl {
 public:
  int seen = 0;
  UINT last = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    ++seen;
    last = msg;
    return DefaultProc(msg, wParam, lParam);
  }
};

WNDPROC ProcedureOf(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}

TEST_F(SkinnedControls, SubclassSeesMessagesFirstAndTheControlStillAnswersThem) {
  HWND hwnd = host_.Child(L"EDIT", ES_LEFT, 1004);
  CountingControl control;
  ASSERT_TRUE(control.Attach(hwnd));
  ::SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"D:\\工作\\Kelvo"));
  EXPECT_EQ(control.last, static_cast<UINT>(WM_SETTEXT));
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  EXPECT_STREQ(text, L"D:\\工作\\Kelvo");
  EXPECT_GE(control.seen, 2);
}

TEST_F(SkinnedControls, DetachHandsTheControlItsOwnProcedureBack) {
  HWND hwnd = host_.Child(L"STATIC", SS_LEFT, 1002);
  WNDPROC own = ProcedureOf(hwnd);
  LONG_PTR data = ::GetWindowLongPtrW(hwnd, GWLP_USERDATA);
  {
    CountingControl control;
    ASSERT_TRUE(control.Attach(hwnd));
    EXPECT_NE(ProcedureOf(hwnd), own);
    // One object per control: a second one is refused.
    CountingControl second;
    EXPECT_FALSE(second.Attach(hwnd));
    control.Detach();
    EXPECT_EQ(ProcedureOf(hwnd), own);
    EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_USERDATA), data);
    int before = control.seen;
    ::SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_EQ(control.seen, before);
    // Detached, it can take the control over again; leaving scope hands it back.
    ASSERT_TRUE(control.Attach(hwnd));
  }
  EXPECT_EQ(ProcedureOf(hwnd), own);
}

TEST_F(SkinnedControls, ControlDestroyedWhileAttachedLetsTheObjectGo) {
  HWND hwnd = host_.Child(L"BUTTON", BS_PUSHBUTTON, 1010);
  CountingControl control;
  ASSERT_TRUE(control.Attach(hwnd));
  ASSERT_TRUE(::DestroyWindow(hwnd));
  EXPECT_EQ(control.last, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_EQ(control.hwnd(), nullptr);
  // A new control in the same place can be taken over by the same object.
  HWND again = host_.Child(L"BUTTON", BS_PUSHBUTTON, 1010);
  EXPECT_TRUE(control.Attach(again));
}

}  // namespace
