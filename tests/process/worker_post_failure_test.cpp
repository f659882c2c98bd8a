// The main window when the install worker can no longer take commands: the
// worker's thread has ended (told to quit, as the close sequence tells it),
// so every post to it fails. The installer runs in this process from its own
// entry, with the built installer's resources; a second thread plays the
// user with real window messages. The window must not wait for the worker:
// it turns into the damaged-package page, and closing it ends the message
// loop with 0 and leaves nothing installed.
//
// The application object is one per process: each case needs a process of
// its own, as ctest runs them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlwapi.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Entry.h"
#include "app/InstallApp.h"
#include "app/PreChecks.h"
#include "install/ProductNames.h"
#include "install/InstallCallback.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "ui/DisplayScale.h"
#include "ui/KelvoProgressCtrl.h"
#include "ui/MessageLoop.h"
#include "util/FileVersion.h"
#include "util/SystemSeam.h"

namespace {

constexpr COLORREF kRed = RGB(255, 77, 92);
// Hang guard only: how long a window may take to answer before the run is
// declared stuck.
constexpr DWORD kPatienceMs = 60000;
// The exit code of a run that had to be ended from outside.
constexpr int kEndedFromOutside = 99;

// What the window showed after the failed post.
struct PageSeen {
  std::wstring button, status;
  bool buttonVisible = false, buttonEnabled = false, statusVisible = false;
  int redStatusPixels = 0;
  bool closeEnabled = false;
  bool linkVisible = true, expandVisible = true, collapseVisible = true, pathEditVisible = true;
  bool progressTextVisible = true, progressBarVisible = true;
  LONG clientHeight = 0;
};

PageSeen ReadPage(HWND main) {
  PageSeen page;
  page.button = ControlText(main, kInstallButton);
  page.buttonVisible = ControlVisible(main, kInstallButton);
  page.buttonEnabled = ControlEnabled(main, kInstallButton);
  page.status = ControlText(main, kStatusLine);
  page.statusVisible = ControlVisible(main, kStatusLine);
  page.redStatusPixels = CountScreenPixels(main, kStatusLine, kRed);
  page.closeEnabled = ControlEnabled(main, kCloseButton);
  page.linkVisible = ControlVisible(main, kCustomLink);
  page.expandVisible = ControlVisible(main, kExpandArrow);
  page.collapseVisible = ControlVisible(main, kCollapseArrow);
  page.pathEditVisible = ControlVisible(main, kPathEdit);
  page.progressTextVisible = ControlVisible(main, kProgressText);
  HWND bar = ::FindWindowExW(main, nullptr, CKelvoProgressCtrl::kClassName, nullptr);
  page.progressBarVisible = bar && ::IsWindowVisible(bar);
  page.clientHeight = ClientSize(main).cy;
  return page;
}

void ExpectDamagedPackagePage(const PageSeen& page) {
  EXPECT_EQ(page.button, L"退出安装");
  EXPECT_TRUE(page.buttonVisible);
  EXPECT_TRUE(page.buttonEnabled);
  EXPECT_EQ(page.status, L"安装包不完整或被破坏,请从KelvoAI云盘主页重新下载");
  EXPECT_TRUE(page.statusVisible);
  EXPECT_GT(page.redStatusPixels, 0) << "the status line is not drawn in red";
  EXPECT_TRUE(page.closeEnabled);
  EXPECT_FALSE(page.linkVisible);
  EXPECT_FALSE(page.expandVisible);
  EXPECT_FALSE(page.collapseVisible);
  EXPECT_FALSE(page.pathEditVisible);
  EXPECT_FALSE(page.progressTextVisible) << "the progress page shows through";
  EXPECT_FALSE(page.progressBarVisible) << "the progress page shows through";
  EXPECT_EQ(page.clientHeight, Scaled(380));
}

// Tells the worker's thread to quit and waits until it has ended. Afterwards
// a post to it must fail; postError is why.
bool EndWorkerThread(DWORD* postError) {
  InstallWorker& worker = App().worker;
  if (!worker.thread() || !worker.Post(kCmdQuit, 0)) return false;
  if (::WaitForSingleObject(worker.thread(), kPatienceMs) != WAIT_OBJECT_0) return false;
  // A message the worker would ignore, in case it still listened.
  if (::PostThreadMessageW(worker.threadId(), WM_NULL, 0, 0)) return false;
  *postError = ::GetLastError();
  return true;
}

// Presses a button with BM_CLICK (button down and up, then the click to the
// parent) and waits until the window has handled it. A window stuck in its
// handler leaves nothing to wait for: the process ends with a word why.
bool Press(HWND dialog, int id) {
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(Control(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, kPatienceMs,
                            &result)) {
    return true;
  }
  if (::GetLastError() == ERROR_TIMEOUT) {
    fprintf(stderr, "the window did not answer a click on %d within %lu ms: it hangs\n", id,
            static_cast<unsigned long>(kPatienceMs));
    fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
  }
  return false;
}

// Ends the UI thread's message loop (or the agreement dialog's) with
// kEndedFromOutside unless the object goes first: a loop that does not end
// when its window closes fails the test instead of stalling the run.
class LoopDeadline {
 public:
  explicit LoopDeadline(DWORD timeoutMs)
      : uiThread_(::GetCurrentThreadId()),
        stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        watcher_([this, timeoutMs] {
          if (::WaitForSingleObject(stop_, timeoutMs) == WAIT_TIMEOUT) {
            ::PostThreadMessageW(uiThread_, WM_QUIT, kEndedFromOutside, 0);
          }
        }) {}
  ~LoopDeadline() {
    ::SetEvent(stop_);
    watcher_.join();
    ::CloseHandle(stop_);
  }

 private:
  DWORD uiThread_;
  HANDLE stop_;
  std::thread watcher_;
};

// Plays the user on a thread of its own while the installer's entry runs on
// this one. A step that cannot be done ends the run from outside and says
// why in failure.
class User {
 public:
  explicit User(std::function<void(User&)> script)
      : uiThread_(::GetCurrentThreadId()), thread_([this, script] { script(*this); }) {}
  ~User() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  void GiveUp(const std::wstring& why) {
    failure = why;
    ::PostThreadMessageW(uiThread_, WM_QUIT, kEndedFromOutside, 0);
  }
  // The installer's window in this process that has the control.
  HWND WaitForWindowWith(int controlId) {
    return WaitForProcessWindowWith(::GetCurrentProcessId(), controlId, kPatienceMs);
  }
  // Ends the worker, presses the main button, notes what the window turned
  // into and presses its button again, which should close it.
  void EndWorkerPressAndExit(HWND main) {
    if (!EndWorkerThread(&postError)) return GiveUp(L"the worker did not end");
    std::wstring button = ControlText(main, kInstallButton);
    if (!Press(main, kInstallButton)) return GiveUp(button + L" could not be pressed");
    page = ReadPage(main);
    if (!Press(main, kInstallButton)) GiveUp(L"the second press could not be made");
  }

  std::wstring failure;
  DWORD postError = 0;
  PageSeen page;

 private:
  DWORD uiThread_;
  std::thread thread_;
};

// The installer's entry on this thread while user plays, up to the exit
// code; user ended the worker, pressed, and closed what the window became.
void RunEntryThroughTheDamagedPage(User& user, HMODULE resources) {
  int exitCode = 0;
  {
    LoopDeadline deadline(4 * kPatienceMs);
    exitCode = Entry(resources, L"", SW_SHOWNORMAL);
  }
  user.Join();
  ASSERT_EQ(user.failure, L"");
  EXPECT_EQ(user.postError, static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  ExpectDamagedPackagePage(user.page);
  EXPECT_EQ(exitCode, 0) << "the message loop did not end when the window closed";
}

// The application object is made once per process.
bool FirstRunInThisProcess() {
  static int runs = 0;
  return runs++ == 0;
}

bool ProductRegistered() { return RegKeyExists(HKEY_LOCAL_MACHINE, product::kUninstallKey); }

// The product's start-menu folder, where its shortcuts go. (The desktop is
// no witness: Wine maps it to the machine's home folder, shared by every
// prefix.)
bool StartMenuFolderMade() { return IsFolder(App().context.startMenuDir); }

TEST(WorkerGone, InstallClickOnTheReadyPageTurnsIntoTheDamagedPackagePage) {
  if (!FirstRunInThisProcess()) GTEST_SKIP() << "needs a process of its own";
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  std::wstring folder;
  User user([&](User& me) {
    HWND agreement = me.WaitForWindowWith(kLicenceLink);
    if (!agreement || !Press(agreement, kAgreeButton)) return me.GiveUp(L"no agreement dialog");
    HWND main = me.WaitForWindowWith(kInstallButton);
    if (!main) return me.GiveUp(L"no main window");
    if (!WaitForText(main, kInstallButton, L"立即安装", kPatienceMs) ||
        !WaitUntil([&] { return ControlEnabled(main, kInstallButton); }, kPatienceMs)) {
      return me.GiveUp(L"no ready page; the button says " + ControlText(main, kInstallButton));
    }
    folder = ControlText(main, kPathEdit);
    me.EndWorkerPressAndExit(main);
  });
  ASSERT_NO_FATAL_FAILURE(RunEntryThroughTheDamagedPage(user, installer.get()));
  EXPECT_FALSE(::IsWindow(App().mainWindow));

  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(IsFolder(folder)) << "the pre-extracted files stayed behind";
  EXPECT_FALSE(ProductRegistered());
  EXPECT_FALSE(StartMenuFolderMade());
  EXPECT_TRUE(ReadLaunchLog().empty()) << "the product was started";
}

TEST(WorkerGone, ClickForAnotherFolderLeavesNeitherFolderWithTheProduct) {
  if (!FirstRunInThisProcess()) GTEST_SKIP() << "needs a process of its own";
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  ScopedTempDir other;
  std::wstring preExtracted, chosen;
  User user([&](User& me) {
    HWND agreement = me.WaitForWindowWith(kLicenceLink);
    if (!agreement || !Press(agreement, kAgreeButton)) return me.GiveUp(L"no agreement dialog");
    HWND main = me.WaitForWindowWith(kInstallButton);
    if (!main || !WaitForText(main, kInstallButton, L"立即安装", kPatienceMs)) {
      return me.GiveUp(L"no ready page");
    }
    preExtracted = ControlText(main, kPathEdit);
    ::SendMessageW(main, WM_COMMAND, MAKEWPARAM(kCustomLink, STN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(main, kCustomLink)));
    ::SendMessageW(Control(main, kPathEdit), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(other.path().c_str()));
    if (!WaitUntil([&] { return ControlEnabled(main, kInstallButton); }, kPatienceMs)) {
      return me.GiveUp(L"the other folder was refused: " + ControlText(main, kSpaceLine));
    }
    me.EndWorkerPressAndExit(main);
    chosen = App().context.installDir;
  });
  ASSERT_NO_FATAL_FAILURE(RunEntryThroughTheDamagedPage(user, installer.get()));

  ASSERT_FALSE(preExtracted.empty());
  EXPECT_NE(chosen, preExtracted) << "the click did not take the other folder";
  EXPECT_FALSE(IsFolder(preExtracted)) << "the pre-extracted files stayed behind";
  EXPECT_FALSE(FileExists(chosen + L"\\" + product::kMainExe));
  EXPECT_FALSE(ProductRegistered());
}

TEST(WorkerGone, WorkerEndedBeforeTheWindowOpensGivesTheDamagedPackagePageAtOnce) {
  if (!FirstRunInThisProcess()) GTEST_SKIP() << "needs a process of its own";
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  // The entry and the run up to the user interface, as the installer runs
  // them; then the user interface in its two steps, with the worker ended in
  // between, so the window's first post (the pre-extraction) fails.
  DisplayScale::Instance().SetFromMonitor();
  CInstallApp& app = App();
  ASSERT_TRUE(app.Init(installer.get(), L""));
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {8, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  WindowFramework::Init();
  app.context.SetUp();
  ASSERT_EQ(app.context.installMode, kFreshInstall);
  ASSERT_TRUE(RunPreChecks());
  CMessageLoop loop;
  WindowFramework::AddMessageLoop(&loop);
  app.skin.CreateFonts();
  app.StartWorker();
  DWORD postError = 0;
  ASSERT_TRUE(EndWorkerThread(&postError));
  EXPECT_EQ(postError, static_cast<DWORD>(ERROR_INVALID_THREAD_ID));

  ASSERT_TRUE(app.OpenMainWindow());
  HWND main = app.mainWindow;
  // Already while the window was made: its first post went nowhere.
  EXPECT_EQ(ControlText(main, kInstallButton), L"退出安装");

  User user([&](User& me) {
    me.page = ReadPage(main);
    if (!Press(main, kCloseButton)) me.GiveUp(L"the close button could not be pressed");
  });
  int exitCode = 0;
  {
    LoopDeadline deadline(kPatienceMs);
    exitCode = loop.Run();
  }
  user.Join();
  WindowFramework::RemoveMessageLoop();
  WindowFramework::ShutDown();
  ::CoUninitialize();
  ASSERT_EQ(user.failure, L"");
  ExpectDamagedPackagePage(user.page);
  EXPECT_EQ(exitCode, 0) << "the message loop did not end when the window closed";
  EXPECT_FALSE(::IsWindow(main));
  EXPECT_FALSE(IsFolder(app.context.installDir)) << "nothing was to be extracted";
  EXPECT_FALSE(ProductRegistered());
  EXPECT_FALSE(StartMenuFolderMade());
}

TEST(WorkerGone, UpgradeClickLeavesTheInstalledCopyAsItWas) {
  if (!FirstRunInThisProcess()) GTEST_SKIP() << "needs a process of its own";
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  ScopedTempDir dir;
  std::wstring folder = dir.Join(L"Kelvopeltbox");
  ASSERT_TRUE(MakeInstalledCopy(folder, L"1.0.0.1", {product::kMainExe, L"uninstall.exe"}));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation",
                             folder));
  std::vector<TreeEntry> before = ReadTree(folder);

  User user([&](User& me) {
    HWND main = me.WaitForWindowWith(kInstallButton);
    if (!main) return me.GiveUp(L"no main window");
    if (!WaitForText(main, kInstallButton, L"立即升级", kPatienceMs)) {
      return me.GiveUp(L"not taken for an upgrade; the button says " +
                       ControlText(main, kInstallButton));
    }
    me.EndWorkerPressAndExit(main);
  });
  ASSERT_NO_FATAL_FAILURE(RunEntryThroughTheDamagedPage(user, installer.get()));

  EXPECT_TRUE(ReadTree(folder) == before) << "the installed copy was changed";
  EXPECT_EQ(ReadFileVersionText((folder + L"\\" + product::kMainExe).c_str()), L"1.0.0.1");
  std::wstring version;
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayVersion",
                             &version))
      << "the uninstall entry was rewritten";
  RemoveTreeForcibly(folder);
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, product::kUninstallKey);
}

// A standard user's token: the elevation prompt was declined.
BOOL WINAPI NotAMember(HANDLE, PSID, PBOOL isMember) {
  *isMember = FALSE;
  return TRUE;
}
BOOL WINAPI NotElevated(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 0;
  *returned = sizeof(DWORD);
  return TRUE;
}

// Without administrator rights the installer would ask, after the
// agreement, whether to install for this user only; a silent run has nobody
// to answer and ends with 6.
TEST(SilentRun, WithoutAdministratorRightsEndsWithCodeSixAndInstallsNothing) {
  if (!FirstRunInThisProcess()) GTEST_SKIP() << "needs a process of its own";
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  Seam().CheckTokenMembership = NotAMember;
  Seam().GetTokenInformation = NotElevated;
  User user([&](User& me) {
    HWND agreement = me.WaitForWindowWith(kLicenceLink);
    if (!agreement || !Press(agreement, kAgreeButton)) me.GiveUp(L"no agreement dialog");
  });
  int exitCode = 0;
  {
    LoopDeadline deadline(4 * kPatienceMs);
    exitCode = Entry(installer.get(), L"/S /restart", SW_SHOWNORMAL);
  }
  user.Join();
  ResetSystemSeam();
  ASSERT_EQ(user.failure, L"");
  EXPECT_EQ(exitCode, 6);
  EXPECT_FALSE(ProductRegistered());
  EXPECT_FALSE(StartMenuFolderMade());
  EXPECT_TRUE(ReadLaunchLog().empty()) << "the product was started";
}

}  // namespace
