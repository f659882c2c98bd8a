// The option sources besides the command line: the machine-registry write
// probe, the installer's own version, and what an earlier installation left
// in the uninstall entry.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>

#include "app/CommandLine.h"
#include "install/InstallOptions.h"
#include "app/OptionSources.h"
#include "install/ProductNames.h"
#include "support/ProcessRunner.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/FileVersion.h"

namespace {

constexpr wchar_t kProbeKey[] = L"CLSID\\{1A893393-71A8-4a50-95A1-2B89DE87B24C}";

TEST(WriteProbe, SucceedsAndLeavesNoKeyBehind) {
  RegistrySandbox sandbox;
  EXPECT_TRUE(ProbeMachineRegistryWrite());
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kProbeKey));
}

TEST(WriteProbe, FailsWhenTheClassesRootRefusesNewKeys) {
  RegistrySandbox sandbox;
  // Under a volatile key the registry refuses to create a lasting one: the
  // probe's write fails the way it does for a user without rights there.
  HKEY volatileRoot = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileClasses", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileRoot, nullptr),
            ERROR_SUCCESS);
  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, volatileRoot);
  BOOL canWrite = ProbeMachineRegistryWrite();
  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  ::RegCloseKey(volatileRoot);
  EXPECT_FALSE(canWrite);
}

TEST(WriteProbe, RemovesAProbeKeyLeftByAnEarlierRun) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, kProbeKey, L"old", L"x"));
  EXPECT_TRUE(ProbeMachineRegistryWrite());
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kProbeKey));
}

TEST(OwnVersion, IsTheFileVersionOfTheInstaller) {
  EXPECT_EQ(ReadFileVersionText(BuiltProgram(L"KelvoSetup.exe").c_str()), KELVO_OWN_VERSION_TEXT);
}

TEST(OwnVersion, FileWithoutVersionResourceGivesZeros) {
  ScopedTempDir dir;
  std::wstring plain = dir.Join(L"plain.txt");
  ASSERT_TRUE(WriteFileBytes(plain, "no version here"));
  EXPECT_EQ(ReadFileVersionText(plain.c_str()), L"0.0.0.0");
  EXPECT_EQ(ReadFileVersionText(dir.Join(L"missing.exe").c_str()), L"0.0.0.0");
  // The test program itself has no version resource either.
  InstallOptions options;
  ReadOwnVersion(options);
  EXPECT_EQ(options.ownVersion, L"0.0.0.0");
}

TEST(InstalledPid, RegistryValueWinsOverTheSwitch) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"pid", L"channel42"));
  InstallOptions options;
  ParseCommandLine(options, L"/pid=7");
  ReadInstalledPid(options);
  EXPECT_STREQ(options.pid, L"channel42");
}

TEST(InstalledPid, SwitchStaysWithoutRegistryValue) {
  RegistrySandbox sandbox;
  InstallOptions options;
  ParseCommandLine(options, L"/pid=7");
  ReadInstalledPid(options);
  EXPECT_STREQ(options.pid, L"7");
}

TEST(InstalledPid, EmptyRegistryValueStillReplacesTheSwitch) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"pid", L""));
  InstallOptions options;
  ParseCommandLine(options, L"/pid=7");
  ReadInstalledPid(options);
  EXPECT_STREQ(options.pid, L"");
}

TEST(InstalledMid, RegistryValueIsTakenAsIs) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"mid", L"fromearlier"));
  InstallOptions options;
  ReadInstalledMid(options);
  EXPECT_STREQ(options.mid, L"fromearlier");
}

TEST(InstalledMid, WithoutRegistryValueAMachineIdIsGenerated) {
  RegistrySandbox sandbox;
  InstallOptions options;
  ReadInstalledMid(options);
  std::wstring mid = options.mid;
  ASSERT_EQ(mid.size(), 32u);
  EXPECT_EQ(mid.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << mid.c_str();
}

}  // namespace
