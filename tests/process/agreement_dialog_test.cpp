// The agreement dialog of a fresh install, driven through the real installer:
// its ways out and their exit codes, and the two agreement texts.
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

std::wstring FolderSwitch(const ScopedTempDir& dir) {
  return L"/D=\"" + dir.Join(L"Kelvopeltbox") + L"\"";
}

// The resource as the dialog should show it: after the byte-order mark.
std::wstring ResourceText(const wchar_t* name) {
  std::string bytes = InstallerResourceBytes(name, L"LICENCE");
  if (bytes.size() < 2) return std::wstring();
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

class AgreementDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(run_.started());
    dialog_ = run_.WaitForWindowWith(kLicenceLink);
    ASSERT_TRUE(dialog_) << "no agreement dialog";
  }
  ScopedTempDir dir_;
  InstallerRun run_{FolderSwitch(dir_)};
  HWND dialog_ = nullptr;
};

TEST_F(AgreementDialog, ShowsItsButtonsLinksAndTitle) {
  wchar_t title[128] = {};
  ::GetWindowTextW(dialog_, title, 128);
  EXPECT_STREQ(title, L"欢迎使用 KelvoAI云盘同步版");
  EXPECT_EQ(ControlText(dialog_, kAgreeButton), L"同意");
  EXPECT_EQ(ControlText(dialog_, kDeclineButton), L"不同意");
  EXPECT_EQ(ControlText(dialog_, kLicenceLink), L"《KelvoAI云盘软件许可使用协议》");
  EXPECT_EQ(ControlText(dialog_, kPrivacyLink), L"《KelvoAI云盘隐私政策》");
  EXPECT_TRUE(ControlVisible(dialog_, kLicenceLink));
  EXPECT_TRUE(ControlVisible(dialog_, kPrivacyLink));
  EXPECT_FALSE(ControlVisible(dialog_, kAgreementText));
}

TEST_F(AgreementDialog, DeclineEndsTheInstallerWithCode2) {
  ClickControl(dialog_, kDeclineButton);
  EXPECT_EQ(run_.WaitForExit(), 2u);
}

TEST_F(AgreementDialog, CloseButtonEndsTheInstallerWithCode1010) {
  ClickControl(dialog_, kCloseButton);
  EXPECT_EQ(run_.WaitForExit(), 1010u);
}

TEST_F(AgreementDialog, SystemCloseEndsTheInstallerWithCode0) {
  ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
  EXPECT_EQ(run_.WaitForExit(), 0u);
}

TEST_F(AgreementDialog, EscapeDeclines) {
  ::PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(run_.WaitForExit(), 2u);
}

TEST_F(AgreementDialog, AgreeOpensTheMainWindow) {
  ClickControl(dialog_, kAgreeButton);
  HWND main = run_.WaitForWindowWith(kInstallButton);
  ASSERT_TRUE(main);
  EXPECT_FALSE(::IsWindow(dialog_) && ::IsWindowVisible(dialog_));
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(run_.WaitForExit(), 0u);
}

TEST_F(AgreementDialog, LinksShowEachTextCompletely) {
  std::wstring licence = ResourceText(L"IDR_SOFTWARE_LICENCE");
  std::wstring privacy = ResourceText(L"IDR_PRIVATE_LICENCE");
  ASSERT_GE(licence.size(), 2u);
  ASSERT_FALSE(privacy.empty());
  EXPECT_EQ(licence.substr(licence.size() - 2), L"\r\n");
  EXPECT_EQ(privacy.back(), L'。');

  ClickControl(dialog_, kLicenceLink);
  ASSERT_TRUE(WaitForText(dialog_, kAgreementText, licence, 10000))
      << ControlText(dialog_, kAgreementText).size() << " of " << licence.size() << " shown";
  EXPECT_TRUE(ControlVisible(dialog_, kAgreementText));

  ClickControl(dialog_, kPrivacyLink);
  ASSERT_TRUE(WaitForText(dialog_, kAgreementText, privacy, 10000));

  ClickControl(dialog_, kPrivacyLink);
  ClickControl(dialog_, kLicenceLink);
  ASSERT_TRUE(WaitForText(dialog_, kAgreementText, licence, 10000));
  ClickControl(dialog_, kLicenceLink);
  ::Sleep(300);
  EXPECT_EQ(ControlText(dialog_, kAgreementText), licence);
  LRESULT selection = ::SendMessageW(Control(dialog_, kAgreementText), EM_GETSEL, 0, 0);
  EXPECT_EQ(LOWORD(selection), HIWORD(selection)) << "text selected after the click";
}

TEST(AgreementTexts, AreUtf16WithByteOrderMarkCrLfAndNoNul) {
  for (const wchar_t* name : {L"IDR_SOFTWARE_LICENCE", L"IDR_PRIVATE_LICENCE"}) {
    std::string bytes = InstallerResourceBytes(name, L"LICENCE");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_EQ(text.find(L'\0'), std::wstring::npos);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\n') {
        EXPECT_TRUE(i > 0 && text[i - 1] == L'\r') << "bare LF at " << i;
      }
    }
  }
}

}  // namespace
