// CInstallApp::Init fills every install option in one go, in this process.
#include <gtest/gtest.h>

#include <string>

#include "app/InstallApp.h"
#include "install/ProductNames.h"
#include "support/RegistrySandbox.h"

namespace {

TEST(AppInit, FillsTheOptionsFromSwitchesAndTheEarlierInstallation) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"pid", L"fromregistry"));
  CInstallApp& app = App();
  ASSERT_TRUE(app.Init(::GetModuleHandleW(nullptr),
                       L"/S /D=\"C:\\Kelvo Test\" /silentrun=0 /pid=7"));
  EXPECT_EQ(app.instance, ::GetModuleHandleW(nullptr));
  EXPECT_TRUE(app.silent);
  EXPECT_EQ(app.installDirOverride, L"C:\\Kelvo Test");
  EXPECT_FALSE(app.silentRun);
  EXPECT_STREQ(app.pid, L"fromregistry");
  EXPECT_EQ(std::wstring(app.mid).size(), 32u);
  EXPECT_TRUE(app.canWriteMachineRegistry);
  EXPECT_EQ(app.ownVersion, L"0.0.0.0");  // this test program has no version resource
}

}  // namespace
