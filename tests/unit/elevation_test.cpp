// Elevation at start-up, for each kind of user and answer to the prompt:
// the relaunch with "/restart", the per-user mode, the relaunched copy.
#include <gtest/gtest.h>

#include <string>

#include "app/Elevation.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"
#include "util/ElevationFlags.h"

namespace {

struct Row {
  const char* what;
  bool administrator, elevated;
  const wchar_t* arguments;
  DWORD promptError;  // 0: the prompt is accepted
  int result;
  const wchar_t* relaunchParameters;  // nullptr: no prompt
  bool restarted, greenMode;
  bool xp = false;  // no UAC: a token's elevation means nothing there
};

TEST(Elevation, EachUserAndAnswerGoesItsWay) {
  const Row rows[] = {
      {"standard user", false, false, L"/S /pid=7", 0, 1, L"/S /pid=7 /restart", false, false},
      {"standard user, no arguments", false, false, L"", 0, 1, L" /restart", false, false},
      {"prompt declined", false, false, L"/S", ERROR_CANCELLED, 0, L"/S /restart", false, true},
      {"relaunch failing otherwise", false, false, L"/S", ERROR_FILE_NOT_FOUND, 0, L"/S /restart", false, false},
      {"relaunched standard user", false, false, L"/S /restart", 0, 0, nullptr, true, true},
      {"switch matched by case", false, false, L"/RESTART", 0, 1, L"/RESTART /restart", false, false},
      {"administrator", true, false, L"/S /restart", 0, 0, nullptr, false, false},
      {"elevated outside the group", false, true, L"/restart", 0, 0, nullptr, false, false},
      {"XP, standard user", false, true, L"/S", 0, 1, L"/S /restart", false, false, true},
      {"XP, relaunched under another standard user", false, false, L"/S /restart", 0, 0, nullptr, true, true, true},
  };
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fakes::ScopedSeam seam;
    fakes::UseToken(row.administrator, row.elevated);
    if (row.xp) fakes::UseWindowsVersion(VER_PLATFORM_WIN32_NT, 5, 1);
    fakes::RecordStarts(row.promptError);
    Restarted = GreenMode = FALSE;
    EXPECT_EQ(Elevate(row.arguments, SW_SHOWNORMAL), row.result);
    EXPECT_EQ(Restarted != FALSE, row.restarted);
    EXPECT_EQ(GreenMode != FALSE, row.greenMode);
    if (!row.relaunchParameters) {
      EXPECT_TRUE(fakes::starts.empty());
      continue;
    }
    ASSERT_EQ(fakes::starts.size(), 1u);
    EXPECT_EQ(fakes::starts[0].verb, L"runas");
    EXPECT_EQ(ToUtf8(fakes::starts[0].file), ToUtf8(self));
    EXPECT_EQ(ToUtf8(fakes::starts[0].parameters), ToUtf8(row.relaunchParameters));
    EXPECT_EQ(fakes::starts[0].show, SW_SHOWNORMAL);
  }
  Restarted = GreenMode = FALSE;
}

}  // namespace
