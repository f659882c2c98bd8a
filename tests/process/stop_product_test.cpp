// Stopping the running product before its files are replaced, against the
// real stand-ins: the tray window asked first, termination for what stays,
// and the product mutex that marks an install in progress.
#include <gtest/gtest.h>

#include <string>

#include "install/SetupContext.h"
#include "install/ProcessList.h"
#include "install/StopProduct.h"
#include "support/ProductCopies.h"
#include "support/TestFiles.h"

namespace {

const wchar_t kProduct[] = L"KelvoCloudEnterpriseSync.exe";
const wchar_t kIntro[] = L"KelvoCloudIntro.exe";
const wchar_t kTrayTitle[] = L"Kelvoenterpriseboxtray";
const wchar_t kProductMutex[] = L"CloudEnterpriseBox";

// A started program, terminated if the test leaves it running.
class Started {
 public:
  Started(const std::wstring& program, const std::wstring& arguments = L"") {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    if (::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info_)) {
      ::CloseHandle(info_.hThread);
      // Both stand-ins pump messages once they are up.
      ::WaitForInputIdle(info_.hProcess, 20000);
    }
  }
  ~Started() {
    if (!info_.hProcess) return;
    if (Running()) {
      ::TerminateProcess(info_.hProcess, 1);
      ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hProcess);
  }
  bool ok() const { return info_.hProcess != nullptr; }
  bool Running() const { return ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_ = {};
};

HWND WaitForTrayWindow() {
  for (int i = 0; i < 400; ++i) {
    if (HWND tray = ::FindWindowW(nullptr, kTrayTitle)) return tray;
    ::Sleep(50);
  }
  return nullptr;
}

class StopProductTest : public ::testing::Test {
 protected:
  void SetUp() override { EndProductProcesses(); }
  void TearDown() override { EndProductProcesses(); }
  ProductProcessesTurn turn_;
  SetupContext context_;
};

TEST_F(StopProductTest, ProductNotRunningLeavesTheIntroProgramAlone) {
  Started intro(StandInPath(kIntro));
  ASSERT_TRUE(intro.ok());
  ASSERT_TRUE(IsProcessRunning(kIntro));
  EXPECT_FALSE(IsProductRunning());

  context_.StopRunningProduct();

  EXPECT_TRUE(intro.Running());
  EXPECT_TRUE(IsProcessRunning(kIntro));
}

TEST_F(StopProductTest, TrayWindowClosesTheProductAndTheIntroIsTerminated) {
  Started product(StandInPath(kProduct));
  Started intro(StandInPath(kIntro));
  ASSERT_TRUE(product.ok() && intro.ok());
  ASSERT_TRUE(WaitForTrayWindow());
  ASSERT_TRUE(IsProductRunning());

  context_.StopRunningProduct();

  EXPECT_FALSE(product.Running());
  EXPECT_FALSE(intro.Running());
  EXPECT_EQ(product.ExitCode(), 0u);
  EXPECT_FALSE(IsProductRunning());
  EXPECT_FALSE(IsProcessRunning(kIntro));
}

TEST_F(StopProductTest, ProductDeafToCloseIsTerminated) {
  std::wstring token = L"deaf" + NewGuidText().substr(1, 8);
  ScopedStandInFlag deaf(L"ignore-close", token);
  Started product(StandInPath(kProduct), token);
  ASSERT_TRUE(product.ok());
  HWND tray = WaitForTrayWindow();
  ASSERT_TRUE(tray);
  EXPECT_NE(AskWindowToClose(tray), 0);
  ASSERT_TRUE(product.Running());

  context_.StopRunningProduct();

  EXPECT_FALSE(product.Running());
  EXPECT_FALSE(IsProductRunning());
}

TEST_F(StopProductTest, ProductWithoutTrayWindowIsTerminated) {
  // A windowless program under the product's name.
  ScopedTempDir folder;
  std::wstring windowless = folder.Join(kProduct);
  ASSERT_TRUE(::CopyFileW(StandInPath(kIntro).c_str(), windowless.c_str(), FALSE));
  Started product(windowless);
  Started intro(StandInPath(kIntro));
  ASSERT_TRUE(product.ok() && intro.ok());
  ASSERT_TRUE(IsProductRunning());
  ASSERT_FALSE(::FindWindowW(nullptr, kTrayTitle));

  context_.StopRunningProduct();

  EXPECT_FALSE(product.Running());
  EXPECT_FALSE(intro.Running());
}

TEST_F(StopProductTest, ProcessNamesMatchIgnoringCase) {
  Started intro(StandInPath(kIntro));
  ASSERT_TRUE(intro.ok());
  EXPECT_TRUE(IsProcessRunning(L"kelvocloudintro.EXE"));
  EXPECT_FALSE(IsProcessRunning(L"KelvoCloudIntro"));
  EXPECT_EQ(TerminateProcessesByName(L"KELVOCLOUDINTRO.exe", 5000), 0);
  EXPECT_FALSE(intro.Running());
  // Nothing to end is no failure.
  EXPECT_EQ(TerminateProcessesByName(L"KelvoCloudIntro.exe", 5000), 0);
}

TEST_F(StopProductTest, AskingSomethingThatIsNoWindowSendsNothing) {
  EXPECT_EQ(AskWindowToClose(nullptr), 0);
  EXPECT_EQ(AskWindowToClose(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffe))), 0);
}

TEST_F(StopProductTest, FreshInstallMovingElsewhereDeletesWhatItPreExtracted) {
  ScopedTempDir root;
  context_.installMode = kFreshInstall;
  context_.defaultInstallDir = root.Join(L"预解压");
  context_.preExtracted.CreateFolder(context_.defaultInstallDir);
  ASSERT_TRUE(WriteFileBytes(context_.defaultInstallDir + L"\\" + kProduct, "MZ"));
  context_.preExtracted.AddFile(context_.defaultInstallDir + L"\\" + kProduct);

  context_.StopRunningProduct(0);
  EXPECT_TRUE(FileExists(context_.defaultInstallDir + L"\\" + kProduct));

  context_.StopRunningProduct(1);
  EXPECT_FALSE(IsFolder(context_.defaultInstallDir));
  EXPECT_FALSE(context_.productMutexCreated);
  EXPECT_EQ(context_.productMutex, nullptr);
}

bool ProductMutexExists() {
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, kProductMutex);
  if (!mutex) return false;
  ::CloseHandle(mutex);
  return true;
}

TEST_F(StopProductTest, ProductMutexIsTakenOnceAndMayBeTakenAgainAfterTheRelease) {
  context_.installMode = kUpgrade;
  ASSERT_FALSE(ProductMutexExists());

  context_.CreateProductMutex();
  ASSERT_TRUE(context_.productMutexCreated);
  HANDLE first = context_.productMutex;
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(ProductMutexExists());

  context_.CreateProductMutex();
  context_.StopRunningProduct(0);
  EXPECT_EQ(context_.productMutex, first);

  context_.ReleaseProductMutex();
  EXPECT_FALSE(context_.productMutexCreated);
  EXPECT_EQ(context_.productMutex, nullptr);
  EXPECT_FALSE(ProductMutexExists());

  context_.CreateProductMutex();
  EXPECT_TRUE(context_.productMutexCreated);
  EXPECT_NE(context_.productMutex, nullptr);
  EXPECT_TRUE(ProductMutexExists());
  context_.ReleaseProductMutex();
}

TEST_F(StopProductTest, FreshInstallTakesNoProductMutex) {
  context_.installMode = kFreshInstall;
  context_.CreateProductMutex();
  context_.StopRunningProduct(0);
  EXPECT_FALSE(context_.productMutexCreated);
  EXPECT_FALSE(ProductMutexExists());
}

}  // namespace
