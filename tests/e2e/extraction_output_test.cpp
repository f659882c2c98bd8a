// What the installer writes to a redirected standard output while it
// extracts: a line per item of the payload, names outside ASCII included.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

std::set<std::wstring> ExtractedNames(const std::wstring& output) {
  const std::wstring prefix = L"Extracting file: ";
  std::set<std::wstring> names;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find(L'\n', start);
    if (end == std::wstring::npos) end = output.size();
    std::wstring line = output.substr(start, end - start);
    if (line.compare(0, prefix.size(), prefix) == 0) names.insert(line.substr(prefix.size()));
    start = end + 1;
  }
  return names;
}

TEST(ExtractionOutput, RedirectedStandardOutputNamesEveryItemOfThePayload) {
  ScopedTempDir dir;
  const std::wstring outputFile = dir.Join(L"installer-output.txt");
  InstallerRun::Outcome outcome;
  {
    InstallerRun run(L"/S /silentrun=0", std::wstring(), outputFile);
    ASSERT_TRUE(run.started());
    outcome = run.PlayToEnd();
  }
  EXPECT_EQ(outcome.exitCode, 0u);

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(outputFile, &bytes));
  std::set<std::wstring> names = ExtractedNames(FromUtf8(bytes));
  int nonAscii = 0;
  for (const TreeEntry& entry : ReadTree(PayloadSourceFolder(), false)) {
    // The tree marks folders with a trailing backslash; the archive's items do not.
    std::wstring item = entry.isFolder ? entry.path.substr(0, entry.path.size() - 1) : entry.path;
    EXPECT_EQ(names.count(item), 1u) << "no line for an item of the payload";
    for (wchar_t c : item) {
      if (c > 0x7f) {
        ++nonAscii;
        break;
      }
    }
  }
  EXPECT_GT(nonAscii, 0) << "the payload should hold names outside ASCII";
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
}

// A deployment tool that takes the output through a pipe and never reads it:
// the pipe fills after a few lines, and a write into it would wait forever.
TEST(ExtractionOutput, UnreadPipeAsStandardOutputDoesNotHoldTheInstall) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE unread = nullptr, output = nullptr;
  ASSERT_TRUE(::CreatePipe(&unread, &output, &inheritable, 1));
  InstallerRun::Outcome outcome;
  {
    InstallerRun run(L"/S /silentrun=0", output);
    ::CloseHandle(output);
    ASSERT_TRUE(run.started());
    outcome = run.PlayToEnd(60000);
  }
  ::CloseHandle(unread);
  EXPECT_EQ(outcome.exitCode, 0u);
  EXPECT_TRUE(HoldsThePayload(DefaultInstallFolder()));
}

}  // namespace
