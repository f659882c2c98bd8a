// Elevation at start-up: the relaunch through the prompt with "/restart",
// the per-user mode after a refusal, and the relaunched copy. The prompt's
// answer and a standard user's token come through the system seam.
#include <gtest/gtest.h>

#include <string>

#include "app/Elevation.h"
#include "util/TokenRights.h"
#include "util/ElevationFlags.h"
#include "util/SystemSeam.h"

namespace {

struct Recorded {
  int prompts = 0;
  std::wstring verb, file, parameters;
  int show = -1;
  DWORD answerError = 0;  // 0: the prompt is accepted
} recorded;

BOOL WINAPI Prompt(SHELLEXECUTEINFOW* info) {
  ++recorded.prompts;
  recorded.verb = info->lpVerb ? info->lpVerb : L"";
  recorded.file = info->lpFile ? info->lpFile : L"";
  recorded.parameters = info->lpParameters ? info->lpParameters : L"";
  recorded.show = info->nShow;
  if (recorded.answerError) {
    ::SetLastError(recorded.answerError);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI NotAMember(HANDLE, PSID, PBOOL isMember) {
  *isMember = FALSE;
  return TRUE;
}

BOOL WINAPI AMember(HANDLE, PSID, PBOOL isMember) {
  *isMember = TRUE;
  return TRUE;
}

BOOL WINAPI NotElevated(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 0;
  *returned = sizeof(DWORD);
  return TRUE;
}

BOOL WINAPI Elevated(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD, PDWORD returned) {
  *static_cast<DWORD*>(info) = 1;
  *returned = sizeof(DWORD);
  return TRUE;
}

class ElevationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorded = Recorded();
    Restarted = FALSE;
    GreenMode = FALSE;
    Seam().ShellExecuteExW = Prompt;
  }
  void TearDown() override {
    ResetSystemSeam();
    Restarted = FALSE;
    GreenMode = FALSE;
  }
  void StandardUser() {
    Seam().CheckTokenMembership = NotAMember;
    Seam().GetTokenInformation = NotElevated;
  }
};

std::wstring OwnPath() {
  wchar_t self[260] = {};
  ::GetModuleFileNameW(nullptr, self, 260);
  return self;
}

TEST_F(ElevationTest, StandardUserRelaunchesElevatedWithRestartAppended) {
  StandardUser();
  EXPECT_EQ(Elevate(L"/S /pid=7", SW_SHOWNORMAL), 1);
  EXPECT_EQ(recorded.prompts, 1);
  EXPECT_EQ(recorded.verb, L"runas");
  EXPECT_EQ(recorded.file, OwnPath());
  EXPECT_EQ(recorded.parameters, L"/S /pid=7 /restart");
  EXPECT_EQ(recorded.show, SW_SHOWNORMAL);
  EXPECT_FALSE(GreenMode);
  EXPECT_FALSE(Restarted);
}

TEST_F(ElevationTest, EmptyArgumentsStillCarryTheRestartSwitch) {
  StandardUser();
  EXPECT_EQ(Elevate(L"", SW_HIDE), 1);
  EXPECT_EQ(recorded.parameters, L" /restart");
  EXPECT_EQ(recorded.show, SW_HIDE);
}

TEST_F(ElevationTest, DeclinedPromptGoesOnInGreenMode) {
  StandardUser();
  recorded.answerError = ERROR_CANCELLED;
  EXPECT_EQ(Elevate(L"/S", SW_SHOWNORMAL), 0);
  EXPECT_EQ(recorded.prompts, 1);
  EXPECT_TRUE(GreenMode);
  EXPECT_FALSE(Restarted);
}

TEST_F(ElevationTest, RelaunchFailingOtherwiseGoesOnWithoutGreenMode) {
  StandardUser();
  recorded.answerError = ERROR_FILE_NOT_FOUND;
  EXPECT_EQ(Elevate(L"/S", SW_SHOWNORMAL), 0);
  EXPECT_EQ(recorded.prompts, 1);
  EXPECT_FALSE(GreenMode);
  EXPECT_FALSE(Restarted);
}

TEST_F(ElevationTest, RestartGivenToAStandardUserSetsBothFlagsWithoutPrompt) {
  StandardUser();
  EXPECT_EQ(Elevate(L"/S /restart", SW_SHOWNORMAL), 0);
  EXPECT_EQ(recorded.prompts, 0);
  EXPECT_TRUE(Restarted);
  EXPECT_TRUE(GreenMode);
}

TEST_F(ElevationTest, RestartSwitchIsMatchedCaseSensitively) {
  StandardUser();
  EXPECT_EQ(Elevate(L"/RESTART", SW_SHOWNORMAL), 1);
  EXPECT_EQ(recorded.prompts, 1);
  EXPECT_FALSE(Restarted);
}

TEST_F(ElevationTest, RestartGivenToAnAdministratorIsIgnored) {
  Seam().CheckTokenMembership = AMember;
  Seam().GetTokenInformation = NotElevated;
  EXPECT_EQ(Elevate(L"/S /restart", SW_SHOWNORMAL), 0);
  EXPECT_EQ(recorded.prompts, 0);
  EXPECT_FALSE(Restarted);
  EXPECT_FALSE(GreenMode);
}

TEST_F(ElevationTest, ElevatedTokenOutsideTheAdministratorsGroupNeedsNoPrompt) {
  Seam().CheckTokenMembership = NotAMember;
  Seam().GetTokenInformation = Elevated;
  EXPECT_EQ(Elevate(L"/restart", SW_SHOWNORMAL), 0);
  EXPECT_EQ(recorded.prompts, 0);
  EXPECT_FALSE(Restarted);
  EXPECT_FALSE(GreenMode);
}

TEST_F(ElevationTest, TokenQueriesFollowWhatTheSystemAnswers) {
  Seam().CheckTokenMembership = AMember;
  Seam().GetTokenInformation = Elevated;
  EXPECT_TRUE(IsAdministrator());
  EXPECT_TRUE(IsElevated());
  StandardUser();
  EXPECT_FALSE(IsAdministrator());
  EXPECT_FALSE(IsElevated());
}

}  // namespace
