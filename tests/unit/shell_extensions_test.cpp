// The product's shell-extension and toolbar DLLs: freeing their names before
// extraction, registering them through the real regsvr32 or their own
// DllInstall, and asking the product to register itself.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "util/ElevationFlags.h"
#include "app/InstallApp.h"
#include "install/SetupContext.h"
#include "install/ShellExtensions.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"

namespace {

const wchar_t kRegisteredKey[] = L"Software\\KelvoStandIn\\Registered";
const wchar_t* const kAllDlls[] = {shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64,
                                   shell_ext::kBar};

// Each registering test starts with nothing recorded.
class RegistrationTurn {
 public:
  RegistrationTurn() {
    for (const wchar_t* name : kAllDlls) ::SHDeleteValueW(HKEY_CURRENT_USER, kRegisteredKey, name);
  }

 private:
  ShellDllRegistrationTurn turn_;
};

std::wstring RegisteredBy(const wchar_t* name) {
  std::wstring how;
  if (!ReadRegString(HKEY_CURRENT_USER, kRegisteredKey, name, &how)) return L"(not registered)";
  return how;
}

class ShellExtensionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.installDir = install_.path();
    context_.productExe = install_.Join(L"KelvoCloudEnterpriseSync.exe");
    context_.options.silent = FALSE;
    Restarted = FALSE;
  }
  void TearDown() override {
    ResetSystemSeam();
    context_.options.silent = FALSE;
    Restarted = FALSE;
  }
  bool Install(std::initializer_list<const wchar_t*> files,
               const std::wstring& version = L"2.0.0.1130") {
    return MakeInstalledCopy(install_.path(), version, files);
  }
  std::wstring Path(const wchar_t* name) const { return install_.Join(name); }

  ScopedTempDir install_;
  SetupContext context_;
};

TEST_F(ShellExtensionsTest, AllFourAreRegisteredThroughRegsvr32On64BitWindows) {
  RegistrationTurn turn;
  ASSERT_TRUE(Install({shell_ext::kShellExt64, shell_ext::kShellExt, shell_ext::kBar64,
                       shell_ext::kBar}));
  EXPECT_TRUE(context_.RegisterShellExtensions());
  for (const wchar_t* name : kAllDlls) {
    EXPECT_EQ(RegisteredBy(name), L"DllRegisterServer") << name;
  }
}

TEST_F(ShellExtensionsTest, StepResultIsThatOfThe64BitShellExtensionEvenIfThe32BitOneFails) {
  RegistrationTurn turn;
  // The 32-bit shell extension is missing, so its registration fails. (A
  // damaged one would end the installer through the corrupted-file report.)
  ASSERT_TRUE(Install({shell_ext::kShellExt64, shell_ext::kBar64, shell_ext::kBar}));
  EXPECT_TRUE(context_.RegisterShellExtensions());
  EXPECT_EQ(RegisteredBy(shell_ext::kShellExt), L"(not registered)");
  EXPECT_EQ(RegisteredBy(shell_ext::kBar), L"DllRegisterServer");
}

TEST_F(ShellExtensionsTest, Failing64BitShellExtensionFailsTheStepButTheOthersAreStillTried) {
  RegistrationTurn turn;
  ASSERT_TRUE(Install({shell_ext::kShellExt, shell_ext::kBar64, shell_ext::kBar}));
  EXPECT_FALSE(context_.RegisterShellExtensions());
  EXPECT_EQ(RegisteredBy(shell_ext::kShellExt), L"DllRegisterServer");
  EXPECT_EQ(RegisteredBy(shell_ext::kBar64), L"DllRegisterServer");
  EXPECT_EQ(RegisteredBy(shell_ext::kBar), L"DllRegisterServer");
}

// The fallback loads the DLL into the installer: a 32-bit one registers so,
// a 64-bit one cannot be loaded by the 32-bit installer and the step fails.
TEST_F(ShellExtensionsTest, DllInstallTakesOverWhenRegsvr32FailsForA32BitDll) {
  RegistrationTurn turn;
  ASSERT_TRUE(Install({shell_ext::kShellExt, shell_ext::kShellExt64}));
  ::SetEnvironmentVariableW(L"KELVO_STANDIN_REGISTER_FAILS", L"1");
  BOOL registered = RegisterDll(context_, shell_ext::kShellExt);
  BOOL registered64 = RegisterDll(context_, shell_ext::kShellExt64);
  ::SetEnvironmentVariableW(L"KELVO_STANDIN_REGISTER_FAILS", nullptr);
  EXPECT_TRUE(registered);
  EXPECT_EQ(RegisteredBy(shell_ext::kShellExt), L"DllInstall");
  EXPECT_FALSE(registered64);
  EXPECT_EQ(RegisteredBy(shell_ext::kShellExt64), L"(not registered)");
}

int WINAPI NoMessageExpected(HWND, LPCWSTR, LPCWSTR, UINT) {
  ADD_FAILURE() << "a missing file is not reported";
  return IDNO;
}

TEST_F(ShellExtensionsTest, MissingDllIsNotRegisteredAndNothingIsShown) {
  Seam().MessageBoxW = NoMessageExpected;
  EXPECT_FALSE(RegisterDll(context_, shell_ext::kBar));
  ResetSystemSeam();
}

TEST_F(ShellExtensionsTest, RetireFileDeletesAFreeFileAndAnOldBackup) {
  ASSERT_TRUE(WriteFileBytes(Path(shell_ext::kBar), "old"));
  ASSERT_TRUE(WriteFileBytes(Path(shell_ext::kBar) + L".bak", "older"));
  EXPECT_EQ(RetireFile(context_, shell_ext::kBar), Path(shell_ext::kBar));
  EXPECT_FALSE(FileExists(Path(shell_ext::kBar)));
  EXPECT_FALSE(FileExists(Path(shell_ext::kBar) + L".bak"));
}

TEST_F(ShellExtensionsTest, ReadOnlyFileThatWillNotDeleteIsMovedAsideWritable) {
  ASSERT_TRUE(WriteFileBytes(Path(shell_ext::kBar), "old"));
  ::SetFileAttributesW(Path(shell_ext::kBar).c_str(), FILE_ATTRIBUTE_READONLY);
  RetireFile(context_, shell_ext::kBar);
  EXPECT_FALSE(FileExists(Path(shell_ext::kBar)));
  std::wstring bak = Path(shell_ext::kBar) + L".bak";
  if (FileExists(bak)) {
    EXPECT_EQ(::GetFileAttributesW(bak.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  }
}

TEST_F(ShellExtensionsTest, LoadedShellExtensionEndsAsBakAndIsNotCleared) {
  ASSERT_TRUE(Install({shell_ext::kShellExt, shell_ext::kShellExt64, shell_ext::kBar}));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(Path(shell_ext::kShellExt), &bytes));
  HMODULE loaded = ::LoadLibraryW(Path(shell_ext::kShellExt).c_str());
  ASSERT_TRUE(loaded);

  context_.PrepareShellExtensionUpdate();

  EXPECT_FALSE(FileExists(Path(shell_ext::kShellExt)));
  std::string moved;
  EXPECT_TRUE(ReadFileBytes(Path(shell_ext::kShellExt) + L".bak", &moved));
  EXPECT_EQ(moved, bytes);
  EXPECT_FALSE(FileExists(Path(shell_ext::kShellExt64)));
  EXPECT_FALSE(FileExists(Path(shell_ext::kBar)));
  EXPECT_FALSE(context_.shellExtCleared);
  ::FreeLibrary(loaded);
}

TEST_F(ShellExtensionsTest, LoadedToolbarDoesNotCountAgainstClearing) {
  ASSERT_TRUE(Install({shell_ext::kShellExt, shell_ext::kBar}));
  HMODULE loaded = ::LoadLibraryW(Path(shell_ext::kBar).c_str());
  ASSERT_TRUE(loaded);
  context_.PrepareShellExtensionUpdate();
  EXPECT_TRUE(FileExists(Path(shell_ext::kBar) + L".bak"));
  EXPECT_FALSE(FileExists(Path(shell_ext::kShellExt)));
  EXPECT_TRUE(context_.shellExtCleared);
  ::FreeLibrary(loaded);
}

TEST_F(ShellExtensionsTest, ToolbarOlderThanTheMinimumIsOutdated) {
  EXPECT_EQ(MinimumToolbarVersion(nullptr), L"1.0.1.1030");
  ASSERT_TRUE(Install({shell_ext::kBar}, L"1.0.1.1029"));
  context_.PrepareShellExtensionUpdate();
  EXPECT_TRUE(context_.shellExtOutdated);
  EXPECT_TRUE(context_.shellExtCleared);
  EXPECT_FALSE(FileExists(Path(shell_ext::kBar)));
}

TEST_F(ShellExtensionsTest, ToolbarAtTheMinimumOrAbsentIsCurrent) {
  context_.shellExtOutdated = TRUE;
  context_.PrepareShellExtensionUpdate();
  EXPECT_FALSE(context_.shellExtOutdated);
  ASSERT_TRUE(Install({shell_ext::kBar}, L"1.0.1.1030"));
  context_.PrepareShellExtensionUpdate();
  EXPECT_FALSE(context_.shellExtOutdated);
}

TEST_F(ShellExtensionsTest, SilentInstallDoesNotLookAtTheToolbar) {
  context_.options.silent = TRUE;
  ASSERT_TRUE(Install({shell_ext::kBar}, L"1.0.0.1"));
  context_.PrepareShellExtensionUpdate();
  EXPECT_FALSE(context_.shellExtOutdated);
}

// The product's own registration: "/reg", elevated when it can be.
struct PromptLog {
  int prompts = 0;
  std::wstring verb, parameters;
} promptLog;

BOOL WINAPI RefusedPrompt(SHELLEXECUTEINFOW* info) {
  ++promptLog.prompts;
  promptLog.verb = info->lpVerb;
  promptLog.parameters = info->lpParameters;
  ::SetLastError(ERROR_CANCELLED);
  return FALSE;
}

BOOL WINAPI ElevatedToken(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 1;
  *returned = sizeof(DWORD);
  return TRUE;
}

BOOL WINAPI PlainToken(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 0;
  *returned = sizeof(DWORD);
  return TRUE;
}

class ProductRegistrationTest : public ShellExtensionsTest {
 protected:
  void SetUp() override {
    ShellExtensionsTest::SetUp();
    promptLog = PromptLog();
    Seam().GetTokenInformation = ElevatedToken;
    ASSERT_TRUE(Install({L"KelvoCloudEnterpriseSync.exe"}));
  }
  ProductProcessesTurn turn_;
};

TEST_F(ProductRegistrationTest, ProductIsAskedElevatedThroughThePrompt) {
  context_.RequestProductRegistration();
  std::wstring line = WaitForLaunchLogLine(install_.path());
  EXPECT_NE(line.find(L"/reg"), std::wstring::npos) << line;
}

TEST_F(ProductRegistrationTest, RefusedPromptRunsTheProductDirectly) {
  Seam().ShellExecuteExW = RefusedPrompt;
  context_.RequestProductRegistration();
  EXPECT_EQ(promptLog.prompts, 1);
  EXPECT_EQ(promptLog.verb, L"runas");
  EXPECT_EQ(promptLog.parameters, L"/reg");
  // Run and waited for: its log line is there on return.
  std::vector<std::wstring> lines = LaunchLogLinesWith(install_.path());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], L"\"" + context_.productExe + L"\" /reg");
}

TEST_F(ProductRegistrationTest, RelaunchedInstallerDoesNotPromptAgain) {
  Seam().ShellExecuteExW = RefusedPrompt;
  Restarted = TRUE;
  context_.RequestProductRegistration();
  EXPECT_EQ(promptLog.prompts, 0);
  std::vector<std::wstring> lines = LaunchLogLinesWith(install_.path());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], L"\"" + context_.productExe + L"\" /reg");
}

TEST_F(ProductRegistrationTest, UnelevatedInstallerOrMissingProductAsksNothing) {
  Seam().ShellExecuteExW = RefusedPrompt;
  Seam().GetTokenInformation = PlainToken;
  context_.RequestProductRegistration();
  EXPECT_EQ(promptLog.prompts, 0);
  EXPECT_TRUE(LaunchLogLinesWith(install_.path()).empty());

  Seam().GetTokenInformation = ElevatedToken;
  context_.productExe = install_.Join(L"elsewhere\\KelvoCloudEnterpriseSync.exe");
  context_.RequestProductRegistration();
  EXPECT_EQ(promptLog.prompts, 0);
}

}  // namespace
