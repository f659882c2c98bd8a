// Replacing a file, even one held by a running program, by moving the old
// file aside first and putting it back when the new one does not arrive.
#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"
#include "unpack/ReplaceFile.h"

namespace {

std::string Content(const std::wstring& path) {
  std::string bytes;
  if (!ReadFileBytes(path, &bytes)) return "<missing>";
  return bytes;
}

// Open without FILE_SHARE_DELETE: the file can be neither renamed nor deleted
// while this lives.
class PinnedFile {
 public:
  explicit PinnedFile(const std::wstring& path)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr)) {}
  ~PinnedFile() {
    if (ok()) ::CloseHandle(handle_);
  }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(ReplaceFileWithBackup, MissingTargetIsSimplyMovedInPlace) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Content(target), "new");
  EXPECT_FALSE(FileExists(source));
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, PlainTargetIsReplacedAndNoBackupStays) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Content(target), "new");
  EXPECT_FALSE(FileExists(source));
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, ReadOnlyTargetIsReplaced) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Content(target), "new");
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, RunningProgramIsReplacedAndItsBackupDeletedAtRestart) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.exe"), target = dir.Join(L"Kelvo.exe");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(CopyOwnProgram(target));
  std::string oldContent = Content(target);
  HeldImage held(target);
  ASSERT_TRUE(held.ok());
  {
    PendingRenamesLock lock;
    EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  }
  EXPECT_EQ(Content(target), "new");
  EXPECT_EQ(Content(target + L".bak"), oldContent);
  EXPECT_TRUE(IsScheduledForDeletionAtRestart(target + L".bak"));
}

TEST(ReplaceFileWithBackup, HeldLeftoverBackupSendsTheTargetToANumberedBackup) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.exe"), target = dir.Join(L"Kelvo.exe");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(CopyOwnProgram(target));
  ASSERT_TRUE(WriteFileBytes(target + L".bak", "earlier run"));
  std::string oldContent = Content(target);
  HeldImage held(target);
  PinnedFile leftover(target + L".bak");
  ASSERT_TRUE(held.ok());
  ASSERT_TRUE(leftover.ok());
  {
    PendingRenamesLock lock;
    EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  }
  EXPECT_EQ(Content(target), "new");
  EXPECT_EQ(Content(target + L".bak1"), oldContent);
  EXPECT_FALSE(FileExists(target + L".bak2"));
  EXPECT_EQ(Content(target + L".bak"), "earlier run");
  EXPECT_TRUE(IsScheduledForDeletionAtRestart(target + L".bak"));
  EXPECT_FALSE(IsScheduledForDeletionAtRestart(target + L".bak1"));
}

TEST(ReplaceFileWithBackup, DeletableTargetIsDroppedWhenTheBackupNameIsHeld) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  ASSERT_TRUE(WriteFileBytes(target + L".bak", "earlier run"));
  PinnedFile leftover(target + L".bak");
  ASSERT_TRUE(leftover.ok());
  {
    PendingRenamesLock lock;
    EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  }
  EXPECT_EQ(Content(target), "new");
  EXPECT_FALSE(FileExists(target + L".bak1"));
}

TEST(ReplaceFileWithBackup, MissingSourceLeavesTheOldFileInPlace) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"never-written.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  EXPECT_FALSE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Content(target), "old");
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, FailedMoveRestoresTheCurrentFileNotAnEarlierRunsBackup) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"never-written.exe"), target = dir.Join(L"Kelvo.exe");
  ASSERT_TRUE(WriteFileBytes(target, "current"));
  // An earlier run's backup, still running: it can be renamed but not replaced.
  ASSERT_TRUE(CopyOwnProgram(target + L".bak"));
  std::string earlier = Content(target + L".bak");
  HeldImage held(target + L".bak");
  ASSERT_TRUE(held.ok());
  {
    PendingRenamesLock lock;
    EXPECT_FALSE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  }
  // Compared as booleans: a program's bytes make no readable message.
  EXPECT_TRUE(Content(target) == "current");
  EXPECT_TRUE(Content(target + L".bak") == earlier);
  EXPECT_FALSE(FileExists(target + L".bak1"));
}

TEST(ReplaceFileWithBackup, SourceThatCannotBeMovedLeavesTheOldFileInPlace) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  PinnedFile pinned(source);
  ASSERT_TRUE(pinned.ok());
  EXPECT_FALSE(ReplaceFileWithBackup(source.c_str(), target.c_str(), 0));
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(Content(source), "new");
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, MoveDelayedByTheCallerLeavesTheOldFileUntilRestart) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  {
    PendingRenamesLock lock;
    EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(),
                                      MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  }
  // Nothing arrived now, so the old file is back; the new one comes at restart.
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(Content(source), "new");
  EXPECT_FALSE(FileExists(target + L".bak"));
  EXPECT_TRUE(IsScheduledForRenameAtRestart(source, target));
}

TEST(ReplaceFileWithBackup, MovesAcrossDrivesWhenCopyingIsAllowed) {
  // The build folder is on Z: and the temporary folder on C:.
  ScopedTempDir sourceDir(KELVO_BINARY_DIR_WIN);
  ScopedTempDir targetDir;
  ASSERT_NE(::towupper(sourceDir.path()[0]), ::towupper(targetDir.path()[0]))
      << "both folders are on one drive";
  std::wstring source = sourceDir.Join(L"new.dll"), target = targetDir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  EXPECT_TRUE(ReplaceFileWithBackup(source.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_EQ(Content(target), "new");
  EXPECT_FALSE(FileExists(source));
  EXPECT_FALSE(FileExists(target + L".bak"));
}

TEST(ReplaceFileWithBackup, TargetThatCanNeitherMoveNorGoGivesUpInSeconds) {
  ScopedTempDir dir;
  std::wstring source = dir.Join(L"new.dll"), target = dir.Join(L"app.dll");
  ASSERT_TRUE(WriteFileBytes(source, "new"));
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  PinnedFile pinned(target);
  ASSERT_TRUE(pinned.ok());
  ULONGLONG started = ::GetTickCount64();
  EXPECT_FALSE(ReplaceFileWithBackup(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  ULONGLONG elapsed = ::GetTickCount64() - started;
  RecordProperty("elapsed_ms", static_cast<int>(elapsed));
  printf("gave up after %llu ms\n", elapsed);
  EXPECT_LT(elapsed, 30000u);
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(Content(source), "new");
  for (const wchar_t* suffix : {L".bak", L".bak1", L".bak10", L".bak11"}) {
    EXPECT_FALSE(FileExists(target + suffix)) << suffix;
  }
}

}  // namespace
