// The checks before the first window: refusals with their texts and styles
// (none when silent), and the antivirus-scan notice driven through its real
// message box. Here rather than with the unit tests because they take the
// scanner's global mutexes and the installer's window title.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/InstallApp.h"
#include "app/PreChecks.h"
#include "install/ProductNames.h"
#include "ui/ScanNotice.h"
#include "support/ProcessRunner.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"

namespace {

constexpr wchar_t kAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe";
constexpr wchar_t kFullScanMutex[] = L"Global\\KelvoDsMainMutex_DsFullScanInProgress";
constexpr wchar_t kScanMutex[] = L"Global\\KelvoDsMainMutex_ScanInProgress";
constexpr wchar_t kNewerInstalledText[] =
    L"您要安装的版本比已经安装的版本低，覆盖安装将造成无法使用。\n请您到官方网站下载最新版。";

struct Box {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT style;
};
std::vector<Box> g_boxes;

int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  g_boxes.push_back({owner, text, caption, style});
  return IDOK;
}

OSVERSIONINFOEXW Windows(DWORD platform, DWORD major, DWORD minor, WORD servicePack = 0) {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwPlatformId = platform;
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  version.wServicePackMajor = servicePack;
  return version;
}

const OSVERSIONINFOEXW kWindows10 = Windows(VER_PLATFORM_WIN32_NT, 10, 0);

class PreChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    Seam().MessageBoxW = &RecordBox;
    options_.silent = FALSE;
    options_.canWriteMachineRegistry = TRUE;
    context_.installDir = dir_.path();
    context_.productExe = dir_.Join(L"KelvoCloudEnterpriseSync.exe");
  }
  void TearDown() override { ResetSystemSeam(); }

  RegistrySandbox sandbox_;
  ScopedTempDir dir_;
  SetupContext context_;
  InstallOptions options_;
};

TEST_F(PreChecksTest, NewerInstalledVersionIsRefusedAndAppPathsPointAtIt) {
  context_.installMode = kNewerInstalled;
  EXPECT_FALSE(RunPreChecks(context_, options_, kWindows10));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].owner, nullptr);
  EXPECT_EQ(g_boxes[0].text, kNewerInstalledText);
  EXPECT_EQ(g_boxes[0].caption, L"欢迎使用 KelvoAI云盘同步版");
  EXPECT_EQ(g_boxes[0].style, 0x40u);
  std::wstring exe, path;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", &exe));
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"Path", &path));
  EXPECT_EQ(exe, context_.productExe);
  EXPECT_EQ(path, context_.installDir);
}

TEST_F(PreChecksTest, SilentRefusalShowsNothingButStillRewritesAppPaths) {
  context_.installMode = kNewerInstalled;
  options_.silent = TRUE;
  EXPECT_FALSE(RunPreChecks(context_, options_, kWindows10));
  EXPECT_TRUE(g_boxes.empty());
  std::wstring exe;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", &exe));
  EXPECT_EQ(exe, context_.productExe);
}

TEST_F(PreChecksTest, FreshInstallWithoutMachineRightsIsRefused) {
  options_.canWriteMachineRegistry = FALSE;
  EXPECT_FALSE(RunPreChecks(context_, options_, kWindows10));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, L"请使用管理员权限进行安装！");
  EXPECT_EQ(g_boxes[0].style, 0x30u);

  g_boxes.clear();
  options_.silent = TRUE;
  EXPECT_FALSE(RunPreChecks(context_, options_, kWindows10));
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(PreChecksTest, UpgradeAndOverwriteGoOnWithoutMachineRights) {
  options_.canWriteMachineRegistry = FALSE;
  context_.installMode = kUpgrade;
  EXPECT_TRUE(RunPreChecks(context_, options_, kWindows10));
  context_.installMode = kOverwrite;
  EXPECT_TRUE(RunPreChecks(context_, options_, kWindows10));
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPathsKey));
}

TEST_F(PreChecksTest, Windows9xAndNt4AreRefused) {
  const wchar_t* text = L"检测到您的操作系统是Windows 98/Me/NT4，本软件不支持该平台。";
  EXPECT_FALSE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_WINDOWS, 4, 90)));
  EXPECT_FALSE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_NT, 4, 0, 6)));
  ASSERT_EQ(g_boxes.size(), 2u);
  for (const Box& box : g_boxes) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.style, 0x10u);
  }
}

TEST_F(PreChecksTest, Windows2000OfAnyServicePackIsRefused) {
  EXPECT_FALSE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_NT, 5, 0, 4)));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, L"检测到您的操作系统是Windows2000 SP4以下版本，本软件不支持该平台。");
  EXPECT_EQ(g_boxes[0].style, 0x10u);
}

TEST_F(PreChecksTest, WindowsXpAndLaterGoOn) {
  EXPECT_TRUE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_NT, 5, 1, 3)));
  EXPECT_TRUE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_NT, 6, 1)));
  EXPECT_TRUE(RunPreChecks(context_, options_, kWindows10));
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(PreChecksTest, FirstRefusalDecidesAlone) {
  context_.installMode = kNewerInstalled;
  EXPECT_FALSE(RunPreChecks(context_, options_, Windows(VER_PLATFORM_WIN32_WINDOWS, 4, 10)));
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, kNewerInstalledText);
}

TEST(ScanProbe, EitherScanMutexMeansAScanIsRunning) {
  EXPECT_FALSE(IsScanInProgress());
  for (const wchar_t* name : {kFullScanMutex, kScanMutex}) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    ASSERT_TRUE(mutex);
    EXPECT_TRUE(IsScanInProgress());
    CloseHandle(mutex);
  }
  EXPECT_FALSE(IsScanInProgress());
}

// Plays the user in front of the scan notice from another thread: finds each
// box the installer shows, notes what it says, and presses a button.
class NoticeUser {
 public:
  // answers[i] is the button pressed on the i-th box; before pressing Retry
  // on the box numbered endScanAt, the scan ends.
  NoticeUser(std::vector<int> answers, HANDLE* scanMutex, int endScanAt = -1)
      : answers_(std::move(answers)),
        scanMutex_(scanMutex),
        endScanAt_(endScanAt),
        thread_([this] { Run(); }) {}
  ~NoticeUser() {
    stop_ = true;
    thread_.join();
  }

  struct Seen {
    std::wstring text, caption, retryText, cancelText;
    bool cancelIsDefault;
  };
  std::vector<Seen> seen;

 private:
  void Run() {
    HWND last = nullptr;
    while (!stop_ && seen.size() < answers_.size()) {
      HWND box = FindWindowW(L"#32770", product::kInstallerTitle);
      if (!box || box == last || !IsWindowVisible(box)) {
        Sleep(50);
        continue;
      }
      Sleep(100);  // let the hook rename the button before reading it
      Seen s;
      s.caption = Text(box);
      s.text = Text(GetDlgItem(box, 0xFFFF));
      s.retryText = Text(GetDlgItem(box, IDRETRY));
      s.cancelText = Text(GetDlgItem(box, IDCANCEL));
      s.cancelIsDefault =
          (GetWindowLongW(GetDlgItem(box, IDCANCEL), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
      int answer = answers_[seen.size()];
      if (static_cast<int>(seen.size()) == endScanAt_ && *scanMutex_) {
        CloseHandle(*scanMutex_);
        *scanMutex_ = nullptr;
      }
      seen.push_back(s);
      last = box;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
      while (!stop_ && IsWindow(box) && FindWindowW(L"#32770", product::kInstallerTitle) == box) {
        Sleep(50);
      }
    }
  }
  static std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
  }

  std::vector<int> answers_;
  HANDLE* scanMutex_;
  int endScanAt_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class ScanNoticeTest : public ::testing::Test {
 protected:
  void SetUp() override { scanMutex_ = CreateMutexW(nullptr, FALSE, kScanMutex); }
  void TearDown() override {
    if (scanMutex_) CloseHandle(scanMutex_);
  }
  HANDLE scanMutex_ = nullptr;
};

TEST_F(ScanNoticeTest, NoticeWithIgnoreButtonAppearsDuringAScan) {
  RegistrySandbox sandbox;
  SetupContext context;
  InstallOptions options;
  NoticeUser user({IDCANCEL}, &scanMutex_);
  EXPECT_TRUE(RunPreChecks(context, options, kWindows10));
  ASSERT_EQ(user.seen.size(), 1u);
  const NoticeUser::Seen& box = user.seen[0];
  EXPECT_EQ(box.caption, L"欢迎使用 KelvoAI云盘同步版");
  EXPECT_EQ(box.text,
            L"Kelvo云查杀正在扫描，会影响云盘安装。\n请您关闭云查杀或等待扫描完成后再重试。");
  EXPECT_EQ(box.cancelText, L"忽略");
  EXPECT_FALSE(box.retryText.empty());
  EXPECT_TRUE(box.cancelIsDefault);
}

TEST_F(ScanNoticeTest, RetryWhileTheScanRunsShowsTheNoticeAgain) {
  NoticeUser user({IDRETRY, IDRETRY, IDCANCEL}, &scanMutex_);
  ScanNotice(nullptr);
  ASSERT_EQ(user.seen.size(), 3u);
  for (const NoticeUser::Seen& box : user.seen) EXPECT_EQ(box.cancelText, L"忽略");
}

TEST_F(ScanNoticeTest, RetryAfterTheScanEndedGoesOn) {
  NoticeUser user({IDRETRY}, &scanMutex_, 0);
  ScanNotice(nullptr);
  EXPECT_EQ(user.seen.size(), 1u);
}

TEST_F(ScanNoticeTest, FullScanAlsoBringsTheNotice) {
  CloseHandle(scanMutex_);
  scanMutex_ = CreateMutexW(nullptr, FALSE, kFullScanMutex);
  RegistrySandbox sandbox;
  SetupContext context;
  InstallOptions options;
  NoticeUser user({IDCANCEL}, &scanMutex_);
  EXPECT_TRUE(RunPreChecks(context, options, kWindows10));
  EXPECT_EQ(user.seen.size(), 1u);
}

// Silent: no box at all (one would block this call for good) and the install goes on.
TEST_F(ScanNoticeTest, SilentInstallGoesOnWithoutTheNotice) {
  RegistrySandbox sandbox;
  SetupContext context;
  InstallOptions options;
  options.silent = TRUE;
  EXPECT_TRUE(RunPreChecks(context, options, kWindows10));
}

// The real installer against a newer installed copy. Its registry is the
// prefix's own, so the test removes what it wrote.
class NewerInstalledProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.Join(L"Installed");
    ASSERT_TRUE(MakeInstalledCopy(folder_, L"99.0.0.1", {product::kMainExe}));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation",
                               folder_));
  }
  void TearDown() override {
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, product::kUninstallKey);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kAppPathsKey);
  }
  void ExpectAppPathsRewritten() {
    std::wstring exe, path;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", &exe));
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"Path", &path));
    EXPECT_EQ(exe, folder_ + L"\\KelvoCloudEnterpriseSync.exe");
    EXPECT_EQ(path, folder_);
  }

  ScopedTempDir dir_;
  std::wstring folder_;
};

TEST_F(NewerInstalledProcessTest, SilentInstallerEndsQuietlyWithZero) {
  ProcessResult result = RunProgram(BuiltProgram(L"KelvoSetup.exe"), L"/S");
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectAppPathsRewritten();
}

TEST_F(NewerInstalledProcessTest, InstallerSaysWhyAndEndsWithZero) {
  ProcessResult result;
  std::thread installer([&] { result = RunProgram(BuiltProgram(L"KelvoSetup.exe"), L""); });
  std::wstring text;
  std::wstring caption;
  for (int i = 0; i < 600 && text.empty(); ++i) {
    if (HWND box = FindWindowW(L"#32770", product::kInstallerTitle)) {
      wchar_t buffer[512] = {};
      GetDlgItemTextW(box, 0xFFFF, buffer, 512);
      text = buffer;
      GetWindowTextW(box, buffer, 512);
      caption = buffer;
      EXPECT_TRUE(GetDlgItem(box, IDOK) || GetDlgItem(box, IDCANCEL));
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
      Sleep(100);
    }
  }
  installer.join();
  EXPECT_EQ(text, kNewerInstalledText);
  EXPECT_EQ(caption, L"欢迎使用 KelvoAI云盘同步版");
  ASSERT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
  ExpectAppPathsRewritten();
}

}  // namespace
