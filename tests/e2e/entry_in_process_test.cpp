// The installer's entry run in this process, with the built installer's
// resources, while a second thread plays the user: for what cannot be
// arranged from outside. First the install worker gone (its thread ended, as
// the close sequence ends it): the window turns into the damaged-package page
// instead of waiting, and closing it ends the loop with 0, nothing changed.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <functional>
#include <string>
#include <thread>

#include "app/Entry.h"
#include "app/InstallApp.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/RegistrySandbox.h"
#include "support/SeamFakes.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

// Hang guard only: how long a window may take to answer.
constexpr DWORD kPatienceMs = 60000;
constexpr int kEndedFromOutside = 99;

// Tells the worker's thread to quit and waits until it has ended; a post to
// it must fail afterwards.
bool EndWorkerThread() {
  InstallWorker& worker = App().worker;
  if (!worker.thread() || !worker.Post(kCmdQuit, 0)) return false;
  if (::WaitForSingleObject(worker.thread(), kPatienceMs) != WAIT_OBJECT_0) return false;
  return !::PostThreadMessageW(worker.threadId(), WM_NULL, 0, 0) &&
         ::GetLastError() == ERROR_INVALID_THREAD_ID;
}

// Presses a button and waits until the window has handled it; a window stuck
// in its handler ends the process with a word why.
bool Press(HWND dialog, int id) {
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(Control(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, kPatienceMs, &result)) return true;
  fprintf(stderr, "the window did not answer a click on %d: it hangs\n", id);
  fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), 3);
  return false;
}

// Plays the user on a thread of its own while the UI runs on this one; a
// step that cannot be done ends the UI's loop and says why in failure. A
// loop that does not end when its window closes is ended too (a hang guard).
class User {
 public:
  explicit User(std::function<void(User&)> script)
      : uiThread_(::GetCurrentThreadId()), entryEnded_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_([this, script] {
          script(*this);
          if (::WaitForSingleObject(entryEnded_, 4 * kPatienceMs) == WAIT_TIMEOUT) GiveUp(L"the loop did not end");
        }) {}
  ~User() {
    EntryEnded();
    ::CloseHandle(entryEnded_);
  }
  void EntryEnded() {
    ::SetEvent(entryEnded_);
    if (thread_.joinable()) thread_.join();
  }
  void GiveUp(const std::wstring& why) {
    failure = why;
    ::PostThreadMessageW(uiThread_, WM_QUIT, kEndedFromOutside, 0);
  }
  HWND WaitForWindowWith(int controlId) {
    return WaitForProcessWindowWith(::GetCurrentProcessId(), controlId, kPatienceMs);
  }
  HWND AgreeAndWaitForReady() {
    HWND agreement = WaitForWindowWith(IDC_LICENCE_LINK);
    if (!agreement || !Press(agreement, IDOK)) return GiveUp(L"no agreement"), nullptr;
    HWND main = WaitForWindowWith(IDC_INSTALL_BUTTON);
    if (!main || !WaitForText(main, IDC_INSTALL_BUTTON, L"立即安装", kPatienceMs)) {
      return GiveUp(L"no ready page"), nullptr;
    }
    return main;
  }
  // Ends the worker, presses the main button, notes the page it turned into
  // and presses its button again, which should close the window.
  void EndWorkerPressAndExit(HWND main) {
    if (!EndWorkerThread()) return GiveUp(L"the worker did not end");
    if (!Press(main, IDC_INSTALL_BUTTON)) return;
    pageFaults = DamagedPackagePageFaults(main);
    Press(main, IDC_INSTALL_BUTTON);
  }

  std::wstring failure, pageFaults;

 private:
  DWORD uiThread_;
  HANDLE entryEnded_;
  std::thread thread_;
};

// The installer's entry with these arguments while user plays; its exit code.
int RunEntryWith(const wchar_t* arguments, User& user) {
  InstallerModule installer;
  int exitCode = Entry(installer.get(), arguments, SW_SHOWNORMAL);
  user.EntryEnded();
  return exitCode;
}

// The same, through the damaged page.
void RunEntry(User& user) {
  int exitCode = RunEntryWith(L"", user);
  ASSERT_EQ(ToUtf8(user.failure), "");
  EXPECT_EQ(ToUtf8(user.pageFaults), "") << "not the damaged-package page";
  EXPECT_EQ(exitCode, 0) << "the message loop did not end when the window closed";
}

// The application object is made once per process; ctest gives each case one.
#define REQUIRE_OWN_PROCESS()           \
  static int runs = 0;                  \
  if (runs++ > 0) GTEST_SKIP() << "needs a process of its own"

TEST(WorkerGone, InstallClickOnTheReadyPageGivesTheDamagedPageAndRemovesThePreExtraction) {
  REQUIRE_OWN_PROCESS();
  std::wstring folder;
  User user([&](User& me) {
    HWND main = me.AgreeAndWaitForReady();
    if (!main) return;
    folder = ControlText(main, IDC_PATH_EDIT);
    me.EndWorkerPressAndExit(main);
  });
  ASSERT_NO_FATAL_FAILURE(RunEntry(user));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey)) << "the product was registered";
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(IsFolder(folder)) << "the pre-extracted files stayed behind";
  EXPECT_FALSE(IsFolder(App().context.startMenuDir)) << "shortcuts were made";
}

TEST(WorkerGone, ClickForAnotherFolderLeavesNeitherFolderWithTheProduct) {
  REQUIRE_OWN_PROCESS();
  ScopedTempDir other;
  std::wstring preExtracted, chosen;
  User user([&](User& me) {
    HWND main = me.AgreeAndWaitForReady();
    if (!main) return;
    preExtracted = ControlText(main, IDC_PATH_EDIT);
    ::SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_LINK, STN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(main, IDC_CUSTOM_LINK)));
    ::SendMessageW(Control(main, IDC_PATH_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.path().c_str()));
    if (!WaitUntil([&] { return ControlEnabled(main, IDC_INSTALL_BUTTON); }, kPatienceMs)) {
      return me.GiveUp(L"the other folder was refused");
    }
    me.EndWorkerPressAndExit(main);
    chosen = App().context.installDir;
  });
  ASSERT_NO_FATAL_FAILURE(RunEntry(user));
  EXPECT_NE(chosen, preExtracted) << "the click did not take the other folder";
  EXPECT_FALSE(IsFolder(preExtracted)) << "the pre-extracted files stayed behind";
  EXPECT_FALSE(FileExists(MainExe(chosen)));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey));
}

TEST(WorkerGone, UpgradeClickLeavesTheInstalledCopyAsItWas) {
  REQUIRE_OWN_PROCESS();
  ScopedTempDir dir;
  const std::wstring folder = dir.Join(L"Kelvopeltbox");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  for (const wchar_t* file : {L"uninstall.exe", L"KelvoEnterpriseShellExt.dll"}) {
    ASSERT_TRUE(::CopyFileW((PayloadFolder() + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE));
  }
  ASSERT_TRUE(MakeInstalledVersion(folder, L"2.0.0.1124"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kUninstallKey, L"InstallLocation", folder));
  const std::vector<TreeEntry> before = ReadTree(folder);
  User user([&](User& me) {
    HWND main = me.WaitForWindowWith(IDC_INSTALL_BUTTON);
    if (!main || !WaitForText(main, IDC_INSTALL_BUTTON, L"立即升级", kPatienceMs)) {
      return me.GiveUp(L"not taken for an upgrade");
    }
    me.EndWorkerPressAndExit(main);
  });
  ASSERT_NO_FATAL_FAILURE(RunEntry(user));
  EXPECT_TRUE(ReadTree(folder) == before) << "the installed copy was changed";
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), L"") << "the uninstall entry was rewritten";
}

// Without administrator rights (a standard user's token: the elevation
// prompt was declined) the installer would ask, after the agreement, whether
// to install for this user only; a silent run has nobody to answer.
TEST(SilentRun, WithoutAdministratorRightsEndsWithCodeSixAndInstallsNothing) {
  REQUIRE_OWN_PROCESS();
  fakes::ScopedSeam seam;
  fakes::UseToken(false, false);
  User user([](User& me) {
    HWND agreement = me.WaitForWindowWith(IDC_LICENCE_LINK);
    if (!agreement || !Press(agreement, IDOK)) me.GiveUp(L"no agreement dialog");
  });
  EXPECT_EQ(RunEntryWith(L"/S /restart", user), 6);
  EXPECT_EQ(ToUtf8(user.failure), "");
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, names::kUninstallKey));
  EXPECT_FALSE(IsFolder(App().context.startMenuDir)) << "shortcuts were made";
  EXPECT_EQ(RunningCount(names::kMainExe), 0) << "the product was started";
}

// A standard user who declined the elevation prompt says yes to the green
// version: the product goes into the user's own application data with the
// user's shortcuts and autostart, nothing registered with the machine's
// shell, and is started plainly by the installer, without switches.
TEST(GreenMode, YesInstallsForTheUserAloneAndStartsTheProductPlainly) {
  REQUIRE_OWN_PROCESS();
  fakes::ScopedSeam seam;
  fakes::UseToken(false, false);
  fakes::RecordBoxes(IDYES);
  const std::wstring exe = ShellFolder(CSIDL_APPDATA) + L"\\Kelvo\\Kelvopeltbox\\KelvoCloudEnterpriseSync.exe";
  // The user's own desktop shortcut there: the green install writes its own.
  ASSERT_TRUE(WriteShortcut(DesktopShortcut(names::kName), exe, L"我的同步盘"));
  User user([](User& me) {
    if (HWND main = me.AgreeAndWaitForReady()) Press(main, IDC_INSTALL_BUTTON);
  });
  EXPECT_EQ(RunEntryWith(L"/restart", user), 0);
  EXPECT_EQ(ToUtf8(user.failure), "");
  ASSERT_EQ(fakes::boxes.size(), 1u);
  EXPECT_EQ(fakes::boxes[0].text + L"|" + fakes::boxes[0].caption,
            L"您当前不是管理员权限，是否需要安装一个绿色版本？|Kelvo0AI云盘同步版");

  EXPECT_TRUE(HoldsThePayload(exe.substr(0, exe.rfind(L'\\'))));
  EXPECT_TRUE(IsInstallerShortcutTo(DesktopShortcut(names::kName), exe));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, names::kRunKey, names::kRunValue), L"\"" + exe + L"\" /autostart");
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\KelvoStandIn")) << "shell DLLs registered";
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{0363E446-2A0C-4914-813F-E3FC8539879E}"));
  EXPECT_TRUE(WaitUntil([] { return RunningCount(names::kMainExe) == 1; }, 20000)) << "not started";
  EXPECT_EQ(WaitForLaunchLine(exe), L"\"" + exe + L"\"");
  EXPECT_EQ(lstrcmpiW(ParentProgram(names::kMainExe).c_str(), L"e2e_tests.exe"), 0);
}

}  // namespace
