// A second installer hands its own path to the first one: the same file's
// path, or the other copy's path when started from elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "install/ProductNames.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

namespace {

// Stands in for the first installer: holds the single-instance mutex and owns
// a window with the installer's title that records the WM_COPYDATA payload.
class FirstInstaller {
 public:
  FirstInstaller() {
    mutex_ = CreateMutexW(nullptr, FALSE, product::kInstallerTitle);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &FirstInstaller::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvoTestFirstInstaller";
    RegisterClassW(&wc);
    window_ = CreateWindowW(wc.lpszClassName, product::kInstallerTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                            100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~FirstInstaller() {
    DestroyWindow(window_);
    CloseHandle(mutex_);
  }
  bool ready() const { return mutex_ && window_; }
  std::wstring received;
  int copies = 0;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
      auto* self = reinterpret_cast<FirstInstaller*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (self && copy && copy->cbData == 520) {
        ++self->copies;
        self->received.assign(static_cast<const wchar_t*>(copy->lpData));
      }
      return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HANDLE mutex_ = nullptr;
  HWND window_ = nullptr;
};

TEST(SingleInstance, CopyStartedFromElsewhereHandsOverItsOwnPath) {
  ScopedTempDir dir;
  std::wstring copy = dir.Join(L"KelvoSetup (2).exe");
  ASSERT_TRUE(CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), copy.c_str(), FALSE));
  FirstInstaller first;
  ASSERT_TRUE(first.ready());

  ProcessResult result = RunProgram(copy, L"");
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(first.copies, 1);
  EXPECT_EQ(lstrcmpiW(first.received.c_str(), copy.c_str()), 0);
  EXPECT_NE(lstrcmpiW(first.received.c_str(), BuiltProgram(L"KelvoSetup.exe").c_str()), 0);
}

}  // namespace
