// The checks before the first window: which systems and runs are refused,
// with which message (none when silent). The newer-version refusal, and the
// supported systems from XP to 10 going on, are seen in the end-to-end runs.
#include <gtest/gtest.h>

#include <string>

#include "app/PreChecks.h"
#include "install/InstallOptions.h"
#include "install/SetupContext.h"
#include "support/RegistrySandbox.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"

namespace {

struct Row {
  const char* what;
  INT32 mode;
  bool machineRights;
  DWORD platform, major, minor;
  WORD servicePack;
  bool goesOn;
  const wchar_t* text;  // nullptr: no message
  UINT style;
};

TEST(PreChecks, UnsupportedSystemsAndMissingRightsAreRefusedWithTheirMessage) {
  const wchar_t* k9x = L"检测到您的操作系统是Windows 98/Me/NT4，本软件不支持该平台。";
  const Row rows[] = {
      {"Windows Me", kFreshInstall, true, VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, false, k9x, 0x10},
      {"2000 SP4", kFreshInstall, true, VER_PLATFORM_WIN32_NT, 5, 0, 4, false,
       L"检测到您的操作系统是Windows2000 SP4以下版本，本软件不支持该平台。", 0x10},
      {"fresh without machine rights", kFreshInstall, false, VER_PLATFORM_WIN32_NT, 10, 0, 0, false,
       L"请使用管理员权限进行安装！", 0x30},
      {"upgrade without machine rights", kUpgrade, false, VER_PLATFORM_WIN32_NT, 10, 0, 0, true, nullptr, 0},
      {"overwrite without machine rights", kOverwrite, false, VER_PLATFORM_WIN32_NT, 10, 0, 0, true, nullptr, 0},
      {"newer installed on Windows 95: the first refusal alone", kNewerInstalled, true,
       VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, false,
       L"您要安装的版本比已经安装的版本低，覆盖安装将造成无法使用。\n请您到官方网站下载最新版。", 0x40},
  };
  RegistrySandbox sandbox;
  for (bool silent : {false, true}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.what) + (silent ? ", silent" : ""));
      fakes::ScopedSeam seam;
      fakes::RecordBoxes();
      SetupContext context;
      context.installMode = row.mode;
      InstallOptions options;
      options.silent = silent;
      options.canWriteMachineRegistry = row.machineRights;
      OSVERSIONINFOEXW windows = {sizeof(windows), row.major, row.minor, 0, row.platform};
      windows.wServicePackMajor = row.servicePack;
      EXPECT_EQ(RunPreChecks(context, options, windows) != FALSE, row.goesOn);
      if (!row.text || silent) {
        EXPECT_TRUE(fakes::boxes.empty());
        continue;
      }
      ASSERT_EQ(fakes::boxes.size(), 1u);
      EXPECT_EQ(ToUtf8(fakes::boxes[0].text), ToUtf8(row.text));
      EXPECT_EQ(fakes::boxes[0].caption, L"欢迎使用 KelvoAI云盘同步版");
      EXPECT_EQ(fakes::boxes[0].type, row.style);
    }
  }
}

}  // namespace
