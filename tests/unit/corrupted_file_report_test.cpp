// The corrupted-file report and the launch rule built on it.
#include <gtest/gtest.h>

#include <string>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"
#include "unpack/CorruptedFileReport.h"
#include "unpack/FileTrust.h"
#include "unpack/TrustedLaunch.h"

namespace {

constexpr wchar_t kChildVariable[] = L"KELVO_REPORT_CHILD_PATH";

std::wstring ExpectedText(const std::wstring& path) {
  return L"发现Kelvo安全卫士的文件已被破坏，不是原版文件。\n请重新安装Kelvo安全卫士并进行木马扫描。\n\n"
         L"被破坏的文件：" + path + L"\n\n是否立即下载最新版？  ";
}

// Run as the child of the case below, before any test: the rule for an
// existing, untrusted file, with the box's caption and text noted beside it.
const bool kRunAsChild = [] {
  static wchar_t path[2048] = {};
  if (!::GetEnvironmentVariableW(kChildVariable, path, 2048)) return false;
  Seam().MessageBoxW = [](HWND, LPCWSTR text, LPCWSTR caption, UINT) WINAPI -> int {
    WriteFileBytes(std::wstring(path) + L".box", ToUtf8(std::wstring(caption) + L"|" + text));
    return IDNO;
  };
  ConfirmTrustedOrReport(path);
  ::ExitProcess(1);  // the rule returned
}();

TEST(LaunchRule, TrustedStartsMissingIsPassedOverUntrustedIsReportedAndEndsTheProcess) {
  EXPECT_TRUE(ConfirmTrustedOrReport((PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe").c_str()));
  ScopedTempDir dir;
  const std::wstring untrusted = dir.Join(L"KelvoCloudEnterpriseSync.exe");
  {
    fakes::ScopedSeam seam;
    fakes::RecordBoxes(IDNO);
    EXPECT_FALSE(ConfirmTrustedOrReport(untrusted.c_str()));
    EXPECT_TRUE(fakes::boxes.empty()) << "a missing file was reported";
  }
  ASSERT_TRUE(CopyUnsignedProgram(untrusted));
  ::SetEnvironmentVariableW(kChildVariable, untrusted.c_str());
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_EQ(InstallerRun(L"", self).WaitForExit(), 0u);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  EXPECT_EQ(FileText(untrusted + L".box"), ToUtf8(std::wstring(L"Kelvo安全卫士") + L"|" + ExpectedText(untrusted)));
}

TEST(CorruptedFileReport, AsksYesOrNoWithItsTextCutToTheBuffer) {
  fakes::ScopedSeam seam;
  fakes::RecordBoxes(IDNO);
  fakes::RecordStarts();
  const std::wstring path = L"C:\\Program Files\\Kelvo\\KelvoCloudEnterpriseSync.exe";
  EXPECT_EQ(ReportCorruptedFile(path.c_str(), L"Kelvo安全卫士", FALSE), IDNO);
  ASSERT_EQ(fakes::boxes.size(), 1u);
  EXPECT_EQ(fakes::boxes[0].type, 0x14u) << "Yes/No with the error icon";
  EXPECT_TRUE(fakes::starts.empty()) << "No opened something";
  ReportCorruptedFile((L"C:\\" + std::wstring(3000, L'a')).c_str(), L"Kelvo安全卫士", FALSE);
  EXPECT_EQ(fakes::boxes[1].text.size(), 2047u);
}

TEST(CorruptedFileReport, YesOpensTheStableSetupOnlyForATrustedStableSuite) {
  RegistrySandbox registry;
  // The suite "installed" in a folder of its own holding that version library.
  auto opened = [](const wchar_t* variant, bool change) {
    ScopedTempDir suite;
    const std::wstring library = suite.Join(L"Kelvover.dll");
    WriteRegString(HKEY_LOCAL_MACHINE, names::kSuiteAppPathsKey, L"Path", suite.path());
    if (variant) ::CopyFileW((std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + variant + L"\\Kelvover.dll").c_str(),
                             library.c_str(), FALSE);
    if (change) {
      std::string bytes = FileText(library);
      bytes[bytes.size() / 2] ^= 0x08;
      WriteFileBytes(library, bytes);
    }
    fakes::ScopedSeam seam;
    fakes::RecordBoxes(IDYES);
    fakes::RecordStarts();
    EXPECT_EQ(ReportCorruptedFile(L"C:\\x.exe", L"Kelvo安全卫士", FALSE), IDYES);
    EXPECT_TRUE(!change || !::GetModuleHandleW(library.c_str())) << "a changed library was loaded";
    EXPECT_EQ(fakes::starts.size(), 1u);
    if (fakes::starts.empty()) return std::wstring();
    EXPECT_EQ(fakes::starts[0].verb, L"open");
    EXPECT_EQ(fakes::starts[0].show, SW_SHOWNORMAL);
    return fakes::starts[0].file;
  };
  const std::wstring stable = std::wstring(L"https://dl.kelvosafe.com/setup.exe");
  const std::wstring beta = std::wstring(L"https://dl.kelvosafe.com/setupbeta.exe");
  EXPECT_EQ(opened(nullptr, false), beta) << "no suite";
  EXPECT_EQ(opened(L"kelvover-stable", false), stable);
  EXPECT_EQ(opened(L"kelvover-stable", true), beta) << "a changed version library was believed";
}

}  // namespace
