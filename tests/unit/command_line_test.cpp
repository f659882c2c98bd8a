// Switch rules of the installer's command line, checked through the same
// ParseCommandLine the installer runs (CommandLineToArgvW is Wine's own).
#include <gtest/gtest.h>

#include <string>

#include "app/CommandLine.h"
#include "install/InstallOptions.h"

namespace {

InstallOptions Parse(const std::wstring& arguments) {
  InstallOptions options;
  ParseCommandLine(options, arguments.c_str());
  return options;
}

TEST(CommandLineDefaults, NoArgumentsGiveTheDefaults) {
  InstallOptions options = Parse(L"");
  EXPECT_FALSE(options.silent);
  EXPECT_STREQ(options.pid, L"home");
  EXPECT_TRUE(options.silentRun);
  EXPECT_TRUE(options.installDirOverride.empty());
}

TEST(SilentSwitch, UpperAndLowerCaseSAreSilent) {
  EXPECT_TRUE(Parse(L"/S").silent);
  EXPECT_TRUE(Parse(L"/s").silent);
  EXPECT_TRUE(Parse(L"/pid=7 /S").silent);
  EXPECT_TRUE(Parse(L"/S /pid=7").silent);
}

TEST(SilentSwitch, LongerOrDashedFormsAreNotSilent) {
  EXPECT_FALSE(Parse(L"/SILENT").silent);
  EXPECT_FALSE(Parse(L"/Silent").silent);
  EXPECT_FALSE(Parse(L"-S").silent);
  EXPECT_FALSE(Parse(L"x/S").silent);
}

TEST(SilentSwitch, OnlyTheFirstOccurrenceIsExamined) {
  EXPECT_FALSE(Parse(L"/Sx /S").silent);
  // "/s" is tried after "/S" fails, with the same first-occurrence rule.
  EXPECT_TRUE(Parse(L"/Sx /s").silent);
  EXPECT_FALSE(Parse(L"/sx /s").silent);
}

TEST(PidSwitch, ValueIsTakenUpToTheNextSpace) {
  EXPECT_STREQ(Parse(L"/pid=abc /S").pid, L"abc");
  EXPECT_STREQ(Parse(L"/pid=abc").pid, L"abc");
}

TEST(PidSwitch, IsCaseSensitiveAndHasNoLeftBoundary) {
  EXPECT_STREQ(Parse(L"/PID=7").pid, L"home");
  EXPECT_STREQ(Parse(L"x/pid=7").pid, L"7");
}

TEST(PidSwitch, EmptyValueIsEmptyNotHome) {
  EXPECT_STREQ(Parse(L"/pid=").pid, L"");
  EXPECT_STREQ(Parse(L"/pid= /S").pid, L"");
}

TEST(PidSwitch, QuotedValues) {
  EXPECT_STREQ(Parse(L"/pid=\"a b\"").pid, L"a b");
  EXPECT_STREQ(Parse(L"/pid=\"abc").pid, L"abc");
  // Without a closing quote the value ends at the next space.
  EXPECT_STREQ(Parse(L"/pid=\"ab cd").pid, L"ab");
}

TEST(PidSwitch, LongValueIsCutTo253CharactersOfTheWindow) {
  // "/pid=" takes 5 of the 258 characters the parser looks at.
  std::wstring value(400, L'p');
  EXPECT_EQ(std::wstring(Parse(L"/pid=" + value).pid), std::wstring(253, L'p'));
}

TEST(PidSwitch, ValueFillingTheWholeWindowIsCutTo258) {
  std::wstring value(300, L'q');
  wchar_t out[260] = {};
  EXPECT_TRUE(GetSwitchValue(value.c_str(), L"q", out, 259));
  EXPECT_EQ(std::wstring(out).size(), 258u);
}

TEST(WorkingWindow, SwitchStartingAfterCharacter258IsNotSeen) {
  std::wstring padding(258, L'a');
  EXPECT_FALSE(Parse(padding + L" /S").silent);
  EXPECT_STREQ(Parse(padding + L"/pid=5").pid, L"home");
  // Starting just inside the window it is seen, cut at the window's end.
  std::wstring inside(252, L'a');
  EXPECT_STREQ(Parse(inside + L"/pid=56789").pid, L"5");
  EXPECT_TRUE(Parse(std::wstring(255, L'a') + L" /S").silent);
  EXPECT_FALSE(Parse(std::wstring(256, L'a') + L" /S").silent);
}

TEST(InstallDirSwitch, QuotedFolderWithSilent) {
  EXPECT_EQ(Parse(L"/S /D=\"C:\\Apps\\My Cloud\"").installDirOverride, L"C:\\Apps\\My Cloud");
  EXPECT_EQ(Parse(L"/S /d=\"C:\\Apps\\My Cloud\"").installDirOverride, L"C:\\Apps\\My Cloud");
  EXPECT_EQ(Parse(L"/S /D=\"D:\\云盘 同步\"").installDirOverride, L"D:\\云盘 同步");
}

TEST(InstallDirSwitch, UnquotedFolderIsNeverTaken) {
  EXPECT_EQ(Parse(L"/S /D=C:\\Apps").installDirOverride, L"");
}

TEST(InstallDirSwitch, NotParsedWithoutSilent) {
  EXPECT_EQ(Parse(L"/D=\"C:\\Apps\\My Cloud\"").installDirOverride, L"");
}

TEST(InstallDirSwitch, FirstTokenFollowsTheProgramNameRule) {
  // As the first token it ends at the first space: the folder is cut there.
  EXPECT_EQ(Parse(L"/D=\"C:\\Apps\\My Cloud\" /S").installDirOverride, L"C:\\Apps\\My");
  EXPECT_EQ(Parse(L"/S /D=\"C:\\Apps\\My Cloud\"").installDirOverride, L"C:\\Apps\\My Cloud");
}

TEST(InstallDirSwitch, EmptyQuotedFolderGivesNothing) {
  EXPECT_EQ(Parse(L"/S /D=\"\"").installDirOverride, L"");
}

TEST(SilentRunSwitch, ZeroClearsItOnlyWhenSilent) {
  EXPECT_FALSE(Parse(L"/S /silentrun=0").silentRun);
  EXPECT_TRUE(Parse(L"/S /silentrun=").silentRun);
  EXPECT_TRUE(Parse(L"/S /silentrun=00").silentRun);
  EXPECT_TRUE(Parse(L"/S /silentrun=1").silentRun);
  EXPECT_TRUE(Parse(L"/silentrun=0").silentRun);
}

TEST(SilentRunSwitch, OnlyTheFirstMatchingArgumentCounts) {
  EXPECT_TRUE(Parse(L"/S /silentrun=1 /silentrun=0").silentRun);
  EXPECT_FALSE(Parse(L"/S /silentrun=0 /silentrun=1").silentRun);
}

TEST(IgnoredSwitches, BaknameAndRestartChangeNothing) {
  InstallOptions plain = Parse(L"/S /pid=9");
  InstallOptions extra = Parse(L"/S /pid=9 /bakname=old.exe /restart");
  EXPECT_EQ(plain.silent, extra.silent);
  EXPECT_STREQ(plain.pid, extra.pid);
  EXPECT_EQ(plain.silentRun, extra.silentRun);
  EXPECT_EQ(plain.installDirOverride, extra.installDirOverride);
}

TEST(HasSwitchRule, EmptyOrMissingStringsAreFalse) {
  EXPECT_FALSE(HasSwitch(nullptr, L"/S"));
  EXPECT_FALSE(HasSwitch(L"", L"/S"));
  EXPECT_FALSE(HasSwitch(L"/S", L""));
  EXPECT_TRUE(HasSwitch(L"/S", L"/S"));
}

TEST(ValueAfterEqualsRule, TrimsWhiteSpaceAroundTheValue) {
  EXPECT_EQ(ValueAfterEquals(L"/x= \t v w \r\n"), L"v w");
  EXPECT_EQ(ValueAfterEquals(L"/x"), L"");
  EXPECT_EQ(ValueAfterEquals(L"/x=a=b"), L"a=b");
}

TEST(GetSwitchValueRule, LeavesOutUntouchedWhenThePrefixIsMissing) {
  wchar_t out[8] = L"keep";
  EXPECT_FALSE(GetSwitchValue(L"/a=1", L"/b=", out, 8));
  EXPECT_STREQ(out, L"keep");
}

}  // namespace
