// The installer process from the outside: exit codes, the start-up line it
// writes to the debugger, and the single-instance hand-over.
#include <gtest/gtest.h>

#include <string>

#include "install/ExitCodes.h"
#include "install/ProductNames.h"
#include "support/InstallerWindows.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"

namespace {

std::wstring Installer() { return BuiltProgram(L"KelvoSetup.exe"); }

// A fresh install asks for the agreement even when silent: this accepts it
// for whichever installer shows it while the object lives.
class AgreementAcceptor {
 public:
  AgreementAcceptor() : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = ::CreateThread(nullptr, 0, &AgreementAcceptor::Accept, this, 0, nullptr);
  }
  ~AgreementAcceptor() {
    ::SetEvent(stop_);
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    ::CloseHandle(stop_);
  }

 private:
  static DWORD WINAPI Accept(void* self) {
    auto* acceptor = static_cast<AgreementAcceptor*>(self);
    while (::WaitForSingleObject(acceptor->stop_, 100) == WAIT_TIMEOUT) {
      HWND agreement = ::FindWindowW(L"#32770", L"欢迎使用 KelvoAI云盘同步版");
      if (agreement && ::GetDlgItem(agreement, kLicenceLink) && ::IsWindowVisible(agreement)) {
        ClickControl(agreement, kAgreeButton);
        ::Sleep(1000);
      }
    }
    return 0;
  }
  HANDLE stop_;
  HANDLE thread_;
};

std::wstring SilentFolderSwitch(const ScopedTempDir& dir) {
  return L"/S /D=\"" + dir.Join(L"Kelvopeltbox") + L"\"";
}

TEST(InstallerProcess, SilentRunExitsWithZero) {
  ScopedTempDir dir;
  AgreementAcceptor acceptor;
  ProcessResult result = RunProgram(Installer(), SilentFolderSwitch(dir));
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
}

TEST(InstallerProcess, WritesItsInitLineToTheDebugger) {
  ScopedTempDir dir;
  AgreementAcceptor acceptor;
  ProcessResult result = RunProgram(Installer(), SilentFolderSwitch(dir), 60000, true);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
  std::wstring expected = L"[Brill] Init = " + Installer() + L"\r\n";
  bool found = false;
  for (const std::wstring& line : result.debugLines) {
    if (lstrcmpiW(line.c_str(), expected.c_str()) == 0) found = true;
  }
  EXPECT_TRUE(found) << "no init line among " << result.debugLines.size() << " debugger lines";
}

// Stands in for a first installer instance: holds the mutex and owns a window
// with the installer's title that records what WM_COPYDATA brings.
class FirstInstance {
 public:
  FirstInstance() {
    mutex_ = ::CreateMutexW(nullptr, FALSE, product::kInstallerTitle);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &FirstInstance::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvoTestFirstInstance";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowW(wc.lpszClassName, product::kInstallerTitle, WS_OVERLAPPEDWINDOW, 0, 0,
                              100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~FirstInstance() {
    ::DestroyWindow(window_);
    ::CloseHandle(mutex_);
  }
  bool ready() const { return mutex_ && window_; }

  int copies = 0;
  DWORD lastSize = 0;
  ULONG_PTR lastTag = 1;
  std::wstring lastText;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA) {
      auto* self = reinterpret_cast<FirstInstance*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (self && copy) {
        ++self->copies;
        self->lastSize = copy->cbData;
        self->lastTag = copy->dwData;
        self->lastText.assign(static_cast<const wchar_t*>(copy->lpData));
      }
      return TRUE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  HANDLE mutex_ = nullptr;
  HWND window_ = nullptr;
};

// A deployment tool learns from the code that nothing was installed.
TEST(SingleInstance, SilentSecondInstanceExitsWithItsCodeAndHandsItsPathOver) {
  FirstInstance first;
  ASSERT_TRUE(first.ready());
  ProcessResult result = RunProgram(Installer(), L"/S");
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(kExitAnotherInstance));
  EXPECT_EQ(first.copies, 1);
  EXPECT_EQ(first.lastSize, 520u);
  EXPECT_EQ(first.lastTag, 0u);
  EXPECT_EQ(lstrcmpiW(first.lastText.c_str(), Installer().c_str()), 0) << first.lastText.size();
}

TEST(SingleInstance, SecondInstanceWithoutAWindowStillExitsWithZero) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, product::kInstallerTitle);
  ASSERT_TRUE(mutex);
  ProcessResult result = RunProgram(Installer(), L"");
  ::CloseHandle(mutex);
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
}

TEST(ShippedBinaries, BothBuildsCarryTheOwnVersion) {
  EXPECT_EQ(ReadFileVersionText(Installer().c_str()), KELVO_OWN_VERSION_TEXT);
  std::wstring shipped = std::wstring(KELVO_BINARY_DIR_WIN) + L"\\..\\i686\\KelvoSetup.exe";
  if (::GetFileAttributesW(shipped.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "the i686 build is not there";
  }
  EXPECT_EQ(ReadFileVersionText(shipped.c_str()), KELVO_OWN_VERSION_TEXT);
}

}  // namespace
