// Where every control of the two windows lands, at 96 DPI (scale 1.0) and
// 144 DPI (scale 1.5): each base value scaled and truncated on its own, sums
// added afterwards (131 + 295 at 1.5 is 196 + 442 = 638, not 639).
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <memory>
#include <string>

#include "install/ProductNames.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

struct Setting {
  DWORD dpi;
  float scale;
};

class WindowLayout : public ::testing::TestWithParam<Setting> {
 protected:
  int t(int n) const { return static_cast<int>(static_cast<float>(n) * GetParam().scale); }

  void ExpectRect(HWND dialog, int id, int x, int y, int width, int height) {
    RECT rect = ControlRect(dialog, id);
    EXPECT_EQ(rect.left, x) << "control " << id;
    EXPECT_EQ(rect.top, y) << "control " << id;
    EXPECT_EQ(rect.right - rect.left, width) << "control " << id;
    EXPECT_EQ(rect.bottom - rect.top, height) << "control " << id;
  }

  void Start() {
    folder_ = dir_.Join(L"Kelvopeltbox");
    {
      // The installer reads the DPI when it starts.
      ScopedLogPixels dpi(GetParam().dpi);
      run_.reset(new InstallerRun(L"/D=\"" + folder_ + L"\""));
      agreement_ = run_->WaitForWindowWith(kLicenceLink);
    }
    ASSERT_TRUE(agreement_);
  }
  void TearDown() override {
    run_.reset();
    RemoveTreeForcibly(folder_);
    ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, product::kUninstallKey);
  }

  ScopedTempDir dir_;
  std::wstring folder_;
  std::unique_ptr<InstallerRun> run_;
  HWND agreement_ = nullptr;
};

TEST_P(WindowLayout, AgreementDialog) {
  Start();
  SIZE client = ClientSize(agreement_);
  EXPECT_EQ(client.cx, t(570));
  EXPECT_EQ(client.cy, t(444));
  ExpectRect(agreement_, kAgreeButton, t(187), t(444) - t(64), t(90), t(32));
  ExpectRect(agreement_, kDeclineButton, t(293), t(444) - t(64), t(90), t(32));
  ExpectRect(agreement_, kLicenceLink, t(58), t(2) + t(230), t(300), t(15));
  ExpectRect(agreement_, kPrivacyLink, t(58), t(26) + t(230), t(300), t(15));
  ExpectRect(agreement_, kCloseButton, t(570) - t(24) - t(26), t(12), t(24), t(24));
  ExpectRect(agreement_, kAgreementText, t(30), t(53) + t(230), t(570) - t(50), t(83));
}

TEST_P(WindowLayout, MainWindowPagesAndShadow) {
  Start();
  ClickControl(agreement_, kAgreeButton);
  HWND main = run_->WaitForWindowWith(kInstallButton);
  ASSERT_TRUE(main);
  ASSERT_TRUE(WaitForText(main, kInstallButton, L"立即安装"));

  SIZE client = ClientSize(main);
  EXPECT_EQ(client.cx, t(570));
  EXPECT_EQ(client.cy, t(380));
  ExpectRect(main, kInstallButton, t(205), t(38) + t(190), t(160), t(36));
  ExpectRect(main, kCustomLink, t(238), t(94) + t(190), t(70), t(20));
  ExpectRect(main, kExpandArrow, t(312), t(96) + t(190), t(16), t(16));
  ExpectRect(main, kCloseButton, t(570) - t(24) - t(26), t(12), t(24), t(24));

  // The shadow: t(14) left, t(18) right, t(12) above, t(20) below.
  HWND shadow = nullptr;
  while ((shadow = ::FindWindowExW(nullptr, shadow, L"KelvoSE_ShadowView", nullptr))) {
    if (::GetWindow(shadow, GW_OWNER) == main) break;
  }
  ASSERT_TRUE(shadow);
  POINT origin = {0, 0};
  ::ClientToScreen(main, &origin);
  RECT shade = {};
  ::GetWindowRect(shadow, &shade);
  EXPECT_EQ(shade.left, origin.x - t(14));
  EXPECT_EQ(shade.top, origin.y - t(12));
  EXPECT_EQ(shade.right - shade.left, t(570) + t(32));
  EXPECT_EQ(shade.bottom - shade.top, t(380) + t(32));

  ClickControl(main, kCustomLink);
  ASSERT_TRUE(WaitForVisible(main, kPathEdit, true, 10000));
  EXPECT_EQ(ClientSize(main).cy, t(444));
  ExpectRect(main, kLocationLabel, t(63), t(141) + t(190), t(67), t(20));
  ExpectRect(main, kPathEdit, t(143), t(142) + t(190), t(295) - t(24), t(18));
  ExpectRect(main, kBrowseButton, t(295) + t(145), t(135) + t(190), t(72), t(32));
  ExpectRect(main, kSpaceLine, t(131), t(170) + t(190), t(300), t(16));
  ExpectRect(main, kOpenAfterInstall, t(131), t(198) + t(190), t(190), t(14));
  ExpectRect(main, kAutoStart, t(331), t(198) + t(190), t(190), t(14));
  ExpectRect(main, kCollapseArrow, t(312), t(96) + t(190), t(16), t(16));
  ::GetWindowRect(shadow, &shade);
  EXPECT_EQ(shade.bottom - shade.top, t(444) + t(32));

  // A scan holds the install at 30 % with the progress page up.
  HANDLE scan = ::CreateMutexW(nullptr, FALSE, L"Global\\KelvoDsMainMutex_ScanInProgress");
  ClickControl(main, kInstallButton);
  HWND notice = WaitForOwnedMessageBox(main);
  ::CloseHandle(scan);
  ASSERT_TRUE(notice);
  EXPECT_EQ(ClientSize(main).cy, t(380));
  ExpectRect(main, kProgressText, t(56), t(82) + t(190), t(458), t(32));
  HWND bar = ::FindWindowExW(main, nullptr, L"KelvoSE_ProgressCtrl", nullptr);
  ASSERT_TRUE(bar);
  RECT barRect = {};
  ::GetWindowRect(bar, &barRect);
  ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&barRect), 2);
  EXPECT_EQ(barRect.left, t(56));
  EXPECT_EQ(barRect.top, t(70) + t(190));
  EXPECT_EQ(barRect.right, t(56) + t(458));
  EXPECT_EQ(barRect.bottom, t(6) + t(190) + t(70));
  ::PostMessageW(notice, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(run_->WaitForExit(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Scales, WindowLayout,
                         ::testing::Values(Setting{96, 1.0f}, Setting{144, 1.5f}),
                         [](const ::testing::TestParamInfo<Setting>& info) {
                           return info.param.dpi == 96 ? std::string("Dpi96") : std::string("Dpi144");
                         });

}  // namespace
