// How the product is started, and its shortcut pinned, after the install.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install/PostInstallLaunch.h"
#include "install/SetupContext.h"
#include "install/ShellRestart.h"
#include "support/InstalledMachine.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"

namespace {

struct Row {
  const char* what;
  bool silent, silentRun;
  const wchar_t* pid;
  INT32 mode;
  bool formerName, toolbarOutdated, launchAfterInstall, autoStart;
  bool launch;
  const wchar_t* switches;  // after the quoted program
  const wchar_t* arguments;  // for a start through the shell
  bool writeRun;
};

TEST(LaunchRequest, SwitchesAndRunValueFollowTheInstall) {
  const Row rows[] = {
      {"silent fresh install", true, true, L"home", kFreshInstall, false, false, true, true,
       true, L"", L"", false},
      {"silent upgrade starts as at log-on", true, true, L"home", kUpgrade, false, false, true, true,
       true, L" /autostart", L" /autostart", false},
      {"silent overwrite, outdated toolbar", true, true, L"home", kOverwrite, false, true, true, true,
       true, L" /updatepro /protype=2 /autostart", L"/updatepro /protype=2 /autostart", false},
      {"silentrun=0 from the UI", true, false, L"FromUI", kFreshInstall, false, false, true, true,
       false, L"", L"", true},
      {"silentrun=0", true, false, L"fromui2", kFreshInstall, false, false, true, true,
       false, L"", L"", false},
      {"interactive upgrade from the former name", false, true, L"home", kUpgrade, true, true, true, false,
       true, L" /updatepro /protype=2 /renametip", L"/renametip", false},
      {"interactive, not opened, autostart", false, true, L"home", kFreshInstall, false, false, false, true,
       false, L"", L"", true},
      {"interactive, opened, no autostart", false, true, L"home", kFreshInstall, false, false, true, false,
       true, L"", L"", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetupContext context;
    context.productExe = L"C:\\Kelvo\\KelvoCloudEnterpriseSync.exe";
    context.options.silent = row.silent;
    context.options.silentRun = row.silentRun;
    lstrcpynW(context.options.pid, row.pid, 260);
    context.installMode = row.mode;
    context.formerNameInstalled = row.formerName;
    context.shellExtOutdated = row.toolbarOutdated;
    context.launchAfterInstall = row.launchAfterInstall;
    context.autoStart = row.autoStart;
    LaunchRequest request = BuildLaunchRequest(context, context.options);
    EXPECT_EQ(request.launch, row.launch);
    EXPECT_EQ(request.writeRun, row.writeRun);
    if (!row.launch) continue;
    EXPECT_EQ(ToUtf8(request.command), ToUtf8(L"\"" + context.productExe + L"\"" + row.switches));
    EXPECT_EQ(ToUtf8(request.file), ToUtf8(L"\"" + context.productExe + L"\""));
    EXPECT_EQ(ToUtf8(request.arguments), ToUtf8(row.arguments));
  }
}

// Elevated, only the running shell (none in this prefix) may start the
// product to restart itself: never the installer with its own rights.
TEST(ShellRestart, WithoutTheShellElevatedStartsNothing) {
  fakes::ScopedSeam seam;
  fakes::UseToken(true, true);
  HANDLE extension = ::CreateMutexW(nullptr, FALSE, L"{8EA635E7-C0BA-41ed-B3B5-56EC1B5FB166}");
  SetupContext context;
  context.installDir = L"C:\\Kelvo\\Kelvopeltbox";
  context.productExe = PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe";
  context.RefreshShellStep();
  EXPECT_EQ(ToUtf8(WaitForLaunchLine(L"/explorer", 0)), "");
  ::CloseHandle(extension);
}

// A token that is not elevated keeps the product from being asked to
// register itself only where Windows has elevation: NT from version 6 on.
TEST(ProductRegistration, AskedWithoutElevationOnlyBeforeVista) {
  SetupContext context;
  context.productExe = PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe";
  for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
    fakes::ScopedSeam seam;
    fakes::UseToken(true, false);
    fakes::UseWindowsVersion(platform, 6, 1);
    fakes::RecordStarts();
    context.RequestProductRegistration();
    EXPECT_EQ(fakes::starts.size(), platform == VER_PLATFORM_WIN32_NT ? 0u : 1u) << platform;
  }
}

// The pin verbs a fresh install asks of each system's shell for its desktop
// shortcut: Windows 10's by their texts (Wine's shell has none of them, nor
// runs a verb the registry adds), Windows 7's "taskbarpin".
std::vector<UINT> textsAsked;

TEST(PinVerbs, Windows10UnpinsFromTheTaskbarAndStartThenPinsToStartWindows7PinsToTheTaskbar) {
  const struct {
    DWORD major, minor;
    std::vector<UINT> texts;  // shell32's: unpin from taskbar, unpin from Start, pin to Start
    long taskbarPins;
  } rows[] = {{10, 0, {5387, 51394, 51201}, 0}, {6, 1, {}, 1}, {6, 0, {}, 0}, {5, 1, {}, 0}};
  ::CoInitialize(nullptr);  // for the shortcuts, as on the install worker
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor));
    fakes::ScopedSeam seam;
    fakes::UseWindowsVersion(VER_PLATFORM_WIN32_NT, row.major, row.minor);
    fakes::RecordStarts();
    textsAsked.clear();
    Seam().LoadStringW = [](HINSTANCE, UINT id, LPWSTR, int) WINAPI { return textsAsked.push_back(id), 0; };
    SetupContext context;
    context.SetUp();
    context.installMode = kFreshInstall;
    context.productExe = PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe";
    context.CreateShortcuts();
    EXPECT_EQ(textsAsked, row.texts);
    EXPECT_EQ(std::count_if(fakes::starts.begin(), fakes::starts.end(),
                            [](const fakes::Start& start) { return start.verb == L"taskbarpin"; }),
              row.taskbarPins);
  }
}

}  // namespace
