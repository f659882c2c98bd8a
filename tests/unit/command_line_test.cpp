// The installer's switch rules, each edge case one row, through the same
// ParseCommandLine the installer runs (CommandLineToArgvW is Wine's own).
#include <gtest/gtest.h>

#include <string>

#include "app/CommandLine.h"
#include "install/InstallOptions.h"
#include "support/TestFiles.h"

namespace {

struct Row {
  std::wstring arguments;
  bool silent;
  std::wstring pid;
  bool silentRun;
  std::wstring folder;  // installDirOverride
};

TEST(CommandLine, EveryEdgeCaseGivesItsOptions) {
  const std::wstring longPid(400, L'p');
  const Row rows[] = {
      {L"", false, L"home", true, L""},
      {L"/S", true, L"home", true, L""},
      {L"/s", true, L"home", true, L""},
      {L"/pid=7 /S", true, L"7", true, L""},
      // Longer or dashed forms are not silent; only the first "/S" (then
      // "/s") occurrence is looked at.
      {L"/SILENT", false, L"home", true, L""},
      {L"-S", false, L"home", true, L""},
      {L"x/S", false, L"home", true, L""},
      {L"/Sx /S", false, L"home", true, L""},
      {L"/Sx /s", true, L"home", true, L""},
      // pid: case-sensitive, no left boundary, up to the next space, quotes.
      {L"/PID=7", false, L"home", true, L""},
      {L"x/pid=7", false, L"7", true, L""},
      {L"/pid=", false, L"", true, L""},
      {L"/pid=\"a b\"", false, L"a b", true, L""},
      {L"/pid=\"ab cd", false, L"ab", true, L""},
      // Only the first 258 characters are looked at.
      {L"/pid=" + longPid, false, std::wstring(253, L'p'), true, L""},
      {std::wstring(252, L'a') + L"/pid=56789", false, L"5", true, L""},
      {std::wstring(255, L'a') + L" /S", true, L"home", true, L""},
      {std::wstring(256, L'a') + L" /S", false, L"home", true, L""},
      // /D= only quoted, only when silent; as the first token it ends at a space.
      {L"/S /D=\"C:\\Apps\\My Cloud\"", true, L"home", true, L"C:\\Apps\\My Cloud"},
      {L"/S /d=\"D:\\云盘 同步\"", true, L"home", true, L"D:\\云盘 同步"},
      {L"/S /D=C:\\Apps", true, L"home", true, L""},
      {L"/D=\"C:\\Apps\\My Cloud\"", false, L"home", true, L""},
      {L"/D=\"C:\\Apps\\My Cloud\" /S", true, L"home", true, L"C:\\Apps\\My"},
      {L"/S /D=\"\"", true, L"home", true, L""},
      // /silentrun=0 only when silent, the first one counting.
      {L"/S /silentrun=0", true, L"home", false, L""},
      {L"/S /silentrun=00", true, L"home", true, L""},
      {L"/silentrun=0", false, L"home", true, L""},
      {L"/S /silentrun=1 /silentrun=0", true, L"home", true, L""},
      {L"/S /silentrun=0 /silentrun=1", true, L"home", false, L""},
      // Switches of other tools change nothing.
      {L"/S /pid=9 /bakname=old.exe /restart", true, L"9", true, L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ToUtf8(row.arguments.substr(0, 60)));
    InstallOptions options;
    ParseCommandLine(options, row.arguments.c_str());
    EXPECT_EQ(options.silent != FALSE, row.silent);
    EXPECT_EQ(ToUtf8(options.pid), ToUtf8(row.pid));
    EXPECT_EQ(options.silentRun != FALSE, row.silentRun);
    EXPECT_EQ(ToUtf8(options.installDirOverride), ToUtf8(row.folder));
  }
}

}  // namespace
