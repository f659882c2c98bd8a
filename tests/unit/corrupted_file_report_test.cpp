// The corrupted-file report: its text and caption in the real message box,
// the process ending with exit code 0, which download the Yes answer opens,
// and the launch rule built on it (missing: silent; untrusted: report). This program carries the base library's cabinet resource, as the
// installer does, since the choice asks IsTrustedFile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "unpack/CorruptedFileReport.h"
#include "unpack/FileTrust.h"
#include "unpack/TrustedLaunch.h"
#include "util/SystemSeam.h"

namespace {

constexpr wchar_t kTitle[] = L"Kelvo安全卫士";
constexpr wchar_t kChildVariable[] = L"KELVO_REPORT_CHILD_PATH";
constexpr wchar_t kSuiteAppPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Kelvosafe.exe";

std::wstring ExpectedText(const std::wstring& path) {
  return std::wstring(L"发现Kelvo安全卫士的文件已被破坏，不是原版文件。\n请重新安装Kelvo安全卫士"
                      L"并进行木马扫描。\n\n被破坏的文件：") +
         path + L"\n\n是否立即下载最新版？  ";
}

// Runs in the child process started by the test below.
TEST(CorruptedFileReportChild, DISABLED_ShowsTheReportAndEnds) {
  wchar_t path[2048] = {};
  ASSERT_GT(::GetEnvironmentVariableW(kChildVariable, path, 2048), 0u);
  ReportCorruptedFile(path, kTitle, TRUE);
  ADD_FAILURE() << "the report returned instead of ending the process";
}

// Runs in a child process: the launch rule for an existing, untrusted file.
// The seam writes the caption it was shown to a file beside it and answers No.
int WINAPI NoteCaptionAndAnswerNo(HWND, LPCWSTR, LPCWSTR caption, UINT) {
  wchar_t path[2048] = {};
  ::GetEnvironmentVariableW(kChildVariable, path, 2048);
  std::wstring note = std::wstring(path) + L".caption";
  std::wstring text = caption;
  HANDLE file = ::CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
              nullptr);
  ::CloseHandle(file);
  return IDNO;
}

TEST(CorruptedFileReportChild, DISABLED_LaunchRuleForAnUntrustedFile) {
  wchar_t path[2048] = {};
  ASSERT_GT(::GetEnvironmentVariableW(kChildVariable, path, 2048), 0u);
  Seam().MessageBoxW = NoteCaptionAndAnswerNo;
  ConfirmTrustedOrReport(path);
  ADD_FAILURE() << "the rule returned for an existing untrusted file";
}

// Starts this program again on one child test; its exit code.
DWORD RunChild(const wchar_t* test, const std::wstring& path, PROCESS_INFORMATION* started) {
  ::SetEnvironmentVariableW(kChildVariable, path.c_str());
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = std::wstring(L"\"") + self +
                             L"\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child = {};
  BOOL ok = ::CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  if (!ok) return 0xFFFFFFFF;
  if (started) {
    *started = child;
    return 0;
  }
  ::WaitForSingleObject(child.hProcess, 60000);
  DWORD exitCode = 0xFFFFFFFF;
  ::GetExitCodeProcess(child.hProcess, &exitCode);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
  return exitCode;
}

TEST(LaunchRule, TrustedFileMayStart) {
  EXPECT_TRUE(ConfirmTrustedOrReport(
      (std::wstring(KELVO_BINARY_DIR_WIN) + L"\\payload\\KelvoCloudEnterpriseSync.exe").c_str()));
}

TEST(LaunchRule, MissingFileIsNotStartedAndNothingIsShown) {
  int boxes = 0;
  static int* counter = &boxes;
  Seam().MessageBoxW = [](HWND, LPCWSTR, LPCWSTR, UINT) WINAPI -> int {
    ++*counter;
    return IDNO;
  };
  ScopedTempDir dir;
  EXPECT_FALSE(ConfirmTrustedOrReport(dir.Join(L"KelvoCloudEnterpriseSync.exe").c_str()));
  ResetSystemSeam();
  EXPECT_EQ(boxes, 0);
}

TEST(LaunchRule, ExistingUntrustedFileIsReportedAndEndsTheProcess) {
  ScopedTempDir dir;
  std::wstring untrusted = dir.Join(L"KelvoCloudEnterpriseSync.exe");
  ASSERT_TRUE(CopyOwnProgram(untrusted));
  EXPECT_EQ(RunChild(L"CorruptedFileReportChild.DISABLED_LaunchRuleForAnUntrustedFile", untrusted,
                     nullptr),
            0u);
  std::string caption;
  ASSERT_TRUE(ReadFileBytes(untrusted + L".caption", &caption));
  EXPECT_TRUE(caption == std::string(reinterpret_cast<const char*>(kCorruptedFileTitle),
                                     wcslen(kCorruptedFileTitle) * sizeof(wchar_t)));
}

struct FoundBox {
  DWORD processId;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<FoundBox*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  ::GetClassNameW(window, className, 64);
  if (owner == found->processId && wcscmp(className, L"#32770") == 0 &&
      ::IsWindowVisible(window)) {
    found->box = window;
    return FALSE;
  }
  return TRUE;
}

struct BoxContents {
  std::vector<std::wstring> texts;
  bool hasIcon = false;
};

BOOL CALLBACK ReadStatic(HWND child, LPARAM context) {
  auto* contents = reinterpret_cast<BoxContents*>(context);
  wchar_t className[64] = {};
  ::GetClassNameW(child, className, 64);
  if (_wcsicmp(className, L"Static") != 0) return TRUE;
  if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    contents->hasIcon = contents->hasIcon || ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
    return TRUE;
  }
  wchar_t text[4096] = {};
  ::GetWindowTextW(child, text, 4096);
  if (text[0]) contents->texts.push_back(text);
  return TRUE;
}

TEST(CorruptedFileReport, ShowsTheTextAndCaptionAndEndsWithExitCodeZero) {
  ScopedTempDir dir;
  std::wstring damaged = dir.Join(L"KelvoCloudEnterpriseSync.exe");
  PROCESS_INFORMATION child = {};
  ASSERT_EQ(RunChild(L"CorruptedFileReportChild.DISABLED_ShowsTheReportAndEnds", damaged, &child),
            0u);

  FoundBox found = {child.dwProcessId, nullptr};
  for (int attempt = 0; attempt < 600 && !found.box; ++attempt) {
    if (::WaitForSingleObject(child.hProcess, 100) == WAIT_OBJECT_0) break;
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
  }
  if (!found.box) ::TerminateProcess(child.hProcess, 99);
  ASSERT_NE(found.box, nullptr) << "no message box appeared";

  wchar_t caption[256] = {};
  ::GetWindowTextW(found.box, caption, 256);
  EXPECT_EQ(ToUtf8(caption), ToUtf8(kTitle));
  BoxContents contents;
  ::EnumChildWindows(found.box, ReadStatic, reinterpret_cast<LPARAM>(&contents));
  ASSERT_EQ(contents.texts.size(), 1u);
  // The static control shows line feeds as they were given.
  EXPECT_EQ(ToUtf8(contents.texts[0]), ToUtf8(ExpectedText(damaged)));
  EXPECT_TRUE(contents.hasIcon);
  HWND yes = ::GetDlgItem(found.box, IDYES);
  HWND no = ::GetDlgItem(found.box, IDNO);
  EXPECT_NE(yes, nullptr);
  ASSERT_NE(no, nullptr);
  EXPECT_EQ(::GetDlgItem(found.box, IDOK), nullptr);
  EXPECT_EQ(::GetDlgItem(found.box, IDCANCEL), nullptr);

  ::PostMessageW(found.box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED),
                 reinterpret_cast<LPARAM>(no));
  ASSERT_EQ(::WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  ::GetExitCodeProcess(child.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
}

// What the report asked of the user and what it opened, through the seam.
struct Recorded {
  std::wstring text, caption;
  UINT type = 0;
  int boxes = 0;
  std::vector<std::wstring> opened;
  std::wstring verb;
  INT show = 0;
};
Recorded g_recorded;
int g_answer = IDNO;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  g_recorded.text = text;
  g_recorded.caption = caption;
  g_recorded.type = type;
  ++g_recorded.boxes;
  return g_answer;
}

HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT show) {
  g_recorded.verb = verb ? verb : L"";
  g_recorded.opened.push_back(file ? file : L"");
  g_recorded.show = show;
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

class AnsweredReport : public ::testing::Test {
 protected:
  AnsweredReport() {
    g_recorded = Recorded();
    Seam().MessageBoxW = RecordBox;
    Seam().ShellExecuteW = RecordOpen;
  }
  ~AnsweredReport() override { ResetSystemSeam(); }

  // The suite "installed" in a folder holding the given version library.
  void InstallSuiteWith(const wchar_t* variant) {
    WriteRegString(HKEY_LOCAL_MACHINE, kSuiteAppPath, L"Path", suite_.path());
    std::wstring source = std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + variant + L"\\Kelvover.dll";
    ASSERT_TRUE(::CopyFileW(source.c_str(), suite_.Join(L"Kelvover.dll").c_str(), FALSE));
  }

  std::wstring Opened(int answer) {
    g_answer = answer;
    EXPECT_EQ(ReportCorruptedFile(L"C:\\x.exe", kTitle, FALSE), answer);
    if (g_recorded.opened.size() != 1) return L"";
    EXPECT_EQ(g_recorded.verb, L"open");
    EXPECT_EQ(g_recorded.show, SW_SHOWNORMAL);
    return g_recorded.opened[0];
  }

  RegistrySandbox registry_;
  ScopedTempDir suite_;
};

TEST_F(AnsweredReport, AsksWithYesNoAndTheErrorIcon) {
  g_answer = IDNO;
  std::wstring path = L"C:\\Program Files\\Kelvo\\KelvoCloudEnterpriseSync.exe";
  EXPECT_EQ(ReportCorruptedFile(path.c_str(), kTitle, FALSE), IDNO);
  EXPECT_EQ(g_recorded.boxes, 1);
  EXPECT_EQ(g_recorded.type, 0x14u);
  EXPECT_EQ(g_recorded.text, ExpectedText(path));
  EXPECT_EQ(g_recorded.caption, kTitle);
  EXPECT_TRUE(g_recorded.opened.empty());
}

TEST_F(AnsweredReport, LongPathIsCutToTheTextBuffer) {
  g_answer = IDNO;
  std::wstring path = L"C:\\" + std::wstring(3000, L'a');
  ReportCorruptedFile(path.c_str(), kTitle, FALSE);
  EXPECT_EQ(g_recorded.text.size(), 2047u);
  EXPECT_EQ(g_recorded.text.substr(0, 20), ExpectedText(L"").substr(0, 20));
}

TEST_F(AnsweredReport, WithoutTheSuiteYesOpensTheBetaSetup) {
  EXPECT_EQ(Opened(IDYES), std::wstring(kSuiteDownloadHost) + L"/setupbeta.exe");
}

TEST_F(AnsweredReport, TrustedStableSuiteGetsTheStableSetup) {
  InstallSuiteWith(L"kelvover-stable");
  EXPECT_EQ(Opened(IDYES), std::wstring(kSuiteDownloadHost) + L"/setup.exe");
}

TEST_F(AnsweredReport, BetaSuiteGetsTheBetaSetup) {
  InstallSuiteWith(L"kelvover-beta");
  EXPECT_EQ(Opened(IDYES), std::wstring(kSuiteDownloadHost) + L"/setupbeta.exe");
}

TEST_F(AnsweredReport, VersionLibraryWithoutTheExportGetsTheBetaSetup) {
  InstallSuiteWith(L"kelvover-no-export");
  EXPECT_EQ(Opened(IDYES), std::wstring(kSuiteDownloadHost) + L"/setupbeta.exe");
}

TEST_F(AnsweredReport, ChangedVersionLibraryIsNotLoadedAndGetsTheBetaSetup) {
  InstallSuiteWith(L"kelvover-stable");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(suite_.Join(L"Kelvover.dll"), &bytes));
  bytes[bytes.size() / 2] ^= 0x08;
  ASSERT_TRUE(WriteFileBytes(suite_.Join(L"Kelvover.dll"), bytes));
  EXPECT_EQ(Opened(IDYES), std::wstring(kSuiteDownloadHost) + L"/setupbeta.exe");
  EXPECT_EQ(::GetModuleHandleW(suite_.Join(L"Kelvover.dll").c_str()), nullptr);
}

}  // namespace
