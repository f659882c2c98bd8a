// Replacing a file, even one a running program holds, by moving it aside
// first and putting it back from the name really used when the new one fails.
#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"
#include "unpack/ReplaceFile.h"

namespace {

class BackupAndReplace : public ::testing::Test {
 protected:
  bool Replace(DWORD flags = MOVEFILE_REPLACE_EXISTING) {
    PendingRenamesLock lock;
    return ReplaceFileWithBackup(source_.c_str(), target_.c_str(), flags) != FALSE;
  }
  ScopedTempDir dir_;
  const std::wstring source_ = dir_.Join(L"new.exe"), target_ = dir_.Join(L"Kelvo.exe");
};

TEST_F(BackupAndReplace, MissingPlainOrReadOnlyTargetEndsAsTheNewFileWithoutBackup) {
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    ASSERT_TRUE(WriteFileBytes(source_, "new"));
    if (kind > 0) {
      ASSERT_TRUE(WriteFileBytes(target_, "old"));
    }
    if (kind == 2) ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Replace());
    EXPECT_EQ(FileText(target_), "new");
    EXPECT_FALSE(FileExists(source_));
    EXPECT_FALSE(FileExists(target_ + L".bak"));
  }
}

TEST_F(BackupAndReplace, RunningProgramIsReplacedAndItsBackupGoesAtRestart) {
  ASSERT_TRUE(WriteFileBytes(source_, "new"));
  ASSERT_TRUE(CopyUnsignedProgram(target_));
  const std::string old = FileText(target_);
  HeldImage held(target_);
  ASSERT_TRUE(held.ok());
  EXPECT_TRUE(Replace());
  EXPECT_EQ(FileText(target_), "new");
  EXPECT_TRUE(FileText(target_ + L".bak") == old);
  EXPECT_TRUE(IsScheduledForRenameAtRestart(target_ + L".bak", L""));
}

// An earlier run's backup that is still held: the target goes to ".bak1",
// and stays there.
TEST_F(BackupAndReplace, HeldLeftoverBackupSendsTheTargetToTheNextFreeName) {
  ASSERT_TRUE(WriteFileBytes(source_, "new"));
  ASSERT_TRUE(CopyUnsignedProgram(target_));
  ASSERT_TRUE(WriteFileBytes(target_ + L".bak", "earlier run"));
  const std::string old = FileText(target_);
  PinnedFile leftover(target_ + L".bak");
  ASSERT_TRUE(leftover.ok());
  EXPECT_TRUE(Replace());
  EXPECT_EQ(FileText(target_), "new");
  EXPECT_TRUE(FileText(target_ + L".bak1") == old);
  EXPECT_EQ(FileText(target_ + L".bak"), "earlier run");
  EXPECT_FALSE(FileExists(target_ + L".bak2"));
  EXPECT_FALSE(IsScheduledForRenameAtRestart(target_ + L".bak1", L""));
}

// The new file never arrives: the current file is back, not an earlier
// run's backup of the same name.
TEST_F(BackupAndReplace, FailedMovePutsBackTheCurrentFileFromTheNameItWentTo) {
  ASSERT_TRUE(WriteFileBytes(target_, "current"));
  ASSERT_TRUE(CopyUnsignedProgram(target_ + L".bak"));
  const std::string earlier = FileText(target_ + L".bak");
  HeldImage held(target_ + L".bak");
  ASSERT_TRUE(held.ok());
  EXPECT_FALSE(Replace());
  EXPECT_EQ(FileText(target_), "current");
  EXPECT_TRUE(FileText(target_ + L".bak") == earlier);
  EXPECT_FALSE(FileExists(target_ + L".bak1"));
}

TEST_F(BackupAndReplace, SourceThatCannotMoveOrATargetThatCannotMoveAsideKeepTheOldFile) {
  ASSERT_TRUE(WriteFileBytes(source_, "new"));
  ASSERT_TRUE(WriteFileBytes(target_, "old"));
  {
    PinnedFile pinned(source_);
    EXPECT_FALSE(Replace(0));
    DWORD noWait = 0;  // a caller that waits gets a copy where the holder shares reading
    EXPECT_TRUE(MoveIntoPlace(source_.c_str(), (target_ + L"2").c_str(), 0, &noWait, nullptr));
    EXPECT_EQ(FileText(target_ + L"2"), "new");
  }
  const ULONGLONG started = ::GetTickCount64();
  {
    PinnedFile pinned(target_);
    EXPECT_FALSE(Replace());
  }
  EXPECT_LT(::GetTickCount64() - started, 30000u) << "gave up too late";
  EXPECT_EQ(FileText(target_), "old");
  EXPECT_EQ(FileText(source_), "new");
  for (const wchar_t* suffix : {L".bak", L".bak1", L".bak10", L".bak11"}) {
    EXPECT_FALSE(FileExists(target_ + suffix)) << ToUtf8(suffix);
  }
  // Every backup name a folder: a target that cannot move aside is not
  // replaced either, since nothing could bring it back.
  for (int number = 0; number <= 10; ++number) {
    ::CreateDirectoryW((target_ + L".bak" + (number ? std::to_wstring(number) : L"")).c_str(), nullptr);
  }
  EXPECT_FALSE(Replace());
  EXPECT_EQ(FileText(target_), "old");
}

TEST_F(BackupAndReplace, MoveDelayedByTheCallerLeavesTheOldFileUntilRestart) {
  ASSERT_TRUE(WriteFileBytes(source_, "new"));
  ASSERT_TRUE(WriteFileBytes(target_, "old"));
  EXPECT_TRUE(Replace(MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(FileText(target_), "old");
  EXPECT_FALSE(FileExists(target_ + L".bak"));
  EXPECT_TRUE(IsScheduledForRenameAtRestart(source_, target_));
}

}  // namespace
