// Creating folder trees (whole chains, or everything in front of the last
// separator) and removing them, with or without putting undeletable files
// aside for the next restart.
#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"
#include "util/FolderOps.h"

namespace {

std::wstring MissingDriveRoot() {
  DWORD drives = ::GetLogicalDrives();
  for (int letter = 'Z'; letter >= 'D'; --letter) {
    if (!(drives & (1u << (letter - 'A')))) return std::wstring(1, wchar_t(letter)) + L":\\";
  }
  return L"";
}

void MakeReadOnly(const std::wstring& path) {
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

// --- CreateFolderTree ---

TEST(CreateFolderTree, ExistingFolderIsSuccess) {
  ScopedTempDir dir;
  EXPECT_TRUE(CreateFolderTree(dir.path().c_str()));
  EXPECT_TRUE(IsFolder(dir.path()));
}

TEST(CreateFolderTree, CreatesEveryMissingLevel) {
  ScopedTempDir dir;
  std::wstring deepest = dir.Join(L"one\\two\\three");
  EXPECT_TRUE(CreateFolderTree(deepest.c_str()));
  EXPECT_TRUE(IsFolder(dir.Join(L"one")));
  EXPECT_TRUE(IsFolder(dir.Join(L"one\\two")));
  EXPECT_TRUE(IsFolder(deepest));
}

TEST(CreateFolderTree, FileInTheWayFailsAndStaysAFile) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"blocker"), "x"));
  EXPECT_FALSE(CreateFolderTree(dir.Join(L"blocker\\sub\\deeper").c_str()));
  EXPECT_FALSE(IsFolder(dir.Join(L"blocker")));
  std::string content;
  ASSERT_TRUE(ReadFileBytes(dir.Join(L"blocker"), &content));
  EXPECT_EQ(content, "x");
}

TEST(CreateFolderTree, MissingDriveFails) {
  std::wstring root = MissingDriveRoot();
  if (root.empty()) GTEST_SKIP() << "every drive letter is in use";
  EXPECT_FALSE(CreateFolderTree(root.c_str()));
  EXPECT_FALSE(CreateFolderTree((root + L"a\\b").c_str()));
}

// --- CreateDirectoryPath ---

TEST(CreateDirectoryPath, FilePathGetsItsFoldersButNoFolderForTheName) {
  ScopedTempDir dir;
  EXPECT_TRUE(CreateDirectoryPath(dir.Join(L"first\\second\\file.txt").c_str()));
  EXPECT_TRUE(IsFolder(dir.Join(L"first")));
  EXPECT_TRUE(IsFolder(dir.Join(L"first\\second")));
  EXPECT_FALSE(FileExists(dir.Join(L"first\\second\\file.txt")));
}

TEST(CreateDirectoryPath, TrailingBackslashCreatesTheLastFolderToo) {
  ScopedTempDir dir;
  EXPECT_TRUE(CreateDirectoryPath(dir.Join(L"first\\second\\").c_str()));
  EXPECT_TRUE(IsFolder(dir.Join(L"first\\second")));
}

TEST(CreateDirectoryPath, FoldersThatExistAlreadyCountAsCreated) {
  ScopedTempDir dir;
  ASSERT_TRUE(::CreateDirectoryW(dir.Join(L"there").c_str(), nullptr));
  EXPECT_TRUE(CreateDirectoryPath(dir.Join(L"there\\file.txt").c_str()));
  EXPECT_TRUE(CreateDirectoryPath(dir.Join(L"there\\").c_str()));
}

TEST(CreateDirectoryPath, ForwardSlashesSeparateBehindTheLastBackslash) {
  ScopedTempDir dir;
  EXPECT_TRUE(CreateDirectoryPath(dir.Join(L"outer/inner/file.txt").c_str()));
  EXPECT_TRUE(IsFolder(dir.Join(L"outer")));
  EXPECT_TRUE(IsFolder(dir.Join(L"outer\\inner")));
  EXPECT_FALSE(FileExists(dir.Join(L"outer\\inner\\file.txt")));
}

TEST(CreateDirectoryPath, ForwardSlashBeforeABackslashIsNoSplitPoint) {
  ScopedTempDir dir;
  // "a/b" is attempted in one go, and its parent "a" was never made.
  EXPECT_FALSE(CreateDirectoryPath(dir.Join(L"a/b\\file.txt").c_str()));
  EXPECT_FALSE(FileExists(dir.Join(L"a")));
}

TEST(CreateDirectoryPath, ResultIsThatOfTheLastFolder) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"plain"), "x"));
  // "plain" exists (as a file) and counts as there; the folder below it cannot be made.
  EXPECT_FALSE(CreateDirectoryPath(dir.Join(L"plain\\sub\\").c_str()));
}

TEST(CreateDirectoryPath, RootIsSuccess) {
  EXPECT_TRUE(CreateDirectoryPath(L"C:\\"));
}

TEST(CreateDirectoryPath, EmptyOrSeparatorlessPathFails) {
  EXPECT_FALSE(CreateDirectoryPath(L""));
  EXPECT_FALSE(CreateDirectoryPath(L"name-without-separator"));
}

TEST(CreateDirectoryPath, OverlongPathFailsAndCreatesNothing) {
  ScopedTempDir dir;
  std::wstring path = dir.Join(L"made\\");
  path += std::wstring(MAX_PATH + 1 - path.size(), L'x');
  ASSERT_EQ(path.size(), size_t(MAX_PATH + 1));
  path += L"\\";
  EXPECT_FALSE(CreateDirectoryPath(path.c_str()));
  EXPECT_FALSE(FileExists(dir.Join(L"made")));
}

// --- DeleteDirectoryTree ---

TEST(DeleteDirectoryTree, RemovesNestedFoldersAndFiles) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree((root + L"\\a\\b\\c").c_str()));
  ASSERT_TRUE(::CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(root + L"\\top.txt", "1"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\a\\mid.txt", "2"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\a\\b\\c\\deep.bin", "3"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\a\\no-extension", "4"));
  ::SetFileAttributesW((root + L"\\a\\mid.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(DeleteDirectoryTree(root.c_str()));
  EXPECT_FALSE(FileExists(root));
}

TEST(DeleteDirectoryTree, ReadOnlyFolderIsRemoved) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree((root + L"\\locked").c_str()));
  MakeReadOnly(root + L"\\locked");
  MakeReadOnly(root);
  EXPECT_TRUE(DeleteDirectoryTree(root.c_str()));
  EXPECT_FALSE(FileExists(root));
}

TEST(DeleteDirectoryTree, ReadOnlyFileStaysAndSoDoesItsFolder) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree(root.c_str()));
  ASSERT_TRUE(WriteFileBytes(root + L"\\kept.txt", "kept"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\gone.txt", "gone"));
  MakeReadOnly(root + L"\\kept.txt");
  EXPECT_FALSE(DeleteDirectoryTree(root.c_str()));
  EXPECT_TRUE(IsFolder(root));
  EXPECT_TRUE(FileExists(root + L"\\kept.txt"));
  EXPECT_FALSE(FileExists(root + L"\\gone.txt"));
  EXPECT_FALSE(FileExists(root + L"\\kept.txt_bak"));
}

TEST(DeleteDirectoryTree, UndeletableFileDeepDownKeepsOnlyItsChainOfFolders) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree((root + L"\\keep\\here").c_str()));
  ASSERT_TRUE(CreateFolderTree((root + L"\\drop\\this").c_str()));
  ASSERT_TRUE(WriteFileBytes(root + L"\\keep\\here\\kept.txt", "kept"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\drop\\this\\gone.txt", "gone"));
  MakeReadOnly(root + L"\\keep\\here\\kept.txt");
  EXPECT_FALSE(DeleteDirectoryTree(root.c_str()));
  EXPECT_TRUE(FileExists(root + L"\\keep\\here\\kept.txt"));
  EXPECT_FALSE(FileExists(root + L"\\drop"));
}

TEST(DeleteDirectoryTree, MissingFolderFails) {
  ScopedTempDir dir;
  EXPECT_FALSE(DeleteDirectoryTree(dir.Join(L"never-made").c_str()));
}

TEST(DeleteDirectoryTree, FileInsteadOfFolderFailsAndStays) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"plain"), "x"));
  EXPECT_FALSE(DeleteDirectoryTree(dir.Join(L"plain").c_str()));
  EXPECT_TRUE(FileExists(dir.Join(L"plain")));
}

// --- DeleteDirectoryTreeDeferred ---

TEST(DeleteDirectoryTreeDeferred, RemovesATreeOfDeletableFiles) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree((root + L"\\a\\b").c_str()));
  ASSERT_TRUE(WriteFileBytes(root + L"\\top.txt", "1"));
  ASSERT_TRUE(WriteFileBytes(root + L"\\a\\b\\deep.txt", "2"));
  EXPECT_TRUE(DeleteDirectoryTreeDeferred(root.c_str()));
  EXPECT_FALSE(FileExists(root));
}

TEST(DeleteDirectoryTreeDeferred, ReadOnlyFileIsPutAsideForTheNextRestart) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree(root.c_str()));
  std::wstring file = root + L"\\settings.dat";
  ASSERT_TRUE(WriteFileBytes(file, "settings"));
  MakeReadOnly(file);
  bool removed;
  {
    PendingRenamesLock lock;
    removed = DeleteDirectoryTreeDeferred(root.c_str());
  }
  EXPECT_FALSE(removed);
  EXPECT_TRUE(IsFolder(root));
  EXPECT_FALSE(FileExists(file));
  std::string content;
  ASSERT_TRUE(ReadFileBytes(file + L"_bak", &content));
  EXPECT_EQ(content, "settings");
  EXPECT_TRUE(IsScheduledForDeletionAtRestart(file + L"_bak"));
  EXPECT_FALSE(IsScheduledForDeletionAtRestart(file));
}

TEST(DeleteDirectoryTreeDeferred, RunningProgramIsPutAsideForTheNextRestart) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree(root.c_str()));
  std::wstring program = root + L"\\Kelvo.exe";
  ASSERT_TRUE(CopyOwnProgram(program));
  ASSERT_TRUE(WriteFileBytes(root + L"\\readme.txt", "x"));
  HeldImage held(program);
  ASSERT_TRUE(held.ok());
  bool removed;
  {
    PendingRenamesLock lock;
    removed = DeleteDirectoryTreeDeferred(root.c_str());
  }
  EXPECT_FALSE(removed);
  EXPECT_TRUE(IsFolder(root));
  EXPECT_FALSE(FileExists(program));
  EXPECT_FALSE(FileExists(root + L"\\readme.txt"));
  EXPECT_TRUE(FileExists(program + L"_bak"));
  EXPECT_TRUE(IsScheduledForDeletionAtRestart(program + L"_bak"));
}

TEST(DeleteDirectoryTreeDeferred, FilesInSubFoldersAreNotPutAside) {
  ScopedTempDir dir;
  std::wstring root = dir.Join(L"tree");
  ASSERT_TRUE(CreateFolderTree((root + L"\\sub").c_str()));
  std::wstring file = root + L"\\sub\\kept.txt";
  ASSERT_TRUE(WriteFileBytes(file, "kept"));
  MakeReadOnly(file);
  EXPECT_FALSE(DeleteDirectoryTreeDeferred(root.c_str()));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(file + L"_bak"));
}

TEST(DeleteDirectoryTreeDeferred, MissingFolderFails) {
  ScopedTempDir dir;
  EXPECT_FALSE(DeleteDirectoryTreeDeferred(dir.Join(L"never-made").c_str()));
}

}  // namespace
