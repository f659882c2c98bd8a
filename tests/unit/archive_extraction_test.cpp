// Extraction through the real 7z library (unpacked from the installer's own
// cabinet resource) with our callbacks and streams.
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/TestFiles.h"
#include "unpack/ArchiveLibrary.h"
#include "unpack/ExtractArchive.h"
#include "unpack/ResourceUnpackEx.h"
#include "unpack/UnzipCallback.h"

namespace {

std::wstring TestArchive(const wchar_t* name) {
  return std::wstring(KELVO_TEST_DATA_WIN) + L"\\archives\\" + name;
}

class ArchiveExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(installer_.get());
    ASSERT_TRUE(library_.LoadArchiveLibrary(installer_.get(), L"IDR_7Z_CAB_DLL", L"DLL"));
    ASSERT_TRUE(ArchiveLibraryHandle()) << "7z library did not load";
  }
  void TearDown() override { library_.ReleaseArchiveLibrary(); }

  InstallerModule installer_;
  ArchiveLibrary library_;
  ScopedTempDir dir_;
};

TEST_F(ArchiveExtractionTest, ItemWithoutAPathBecomesContent) {
  ASSERT_EQ(ExtractArchive(TestArchive(L"nameless.7z").c_str(), dir_.path().c_str(), nullptr), 0);
  std::string content;
  ASSERT_TRUE(ReadFileBytes(dir_.Join(L"[Content]"), &content));
  EXPECT_EQ(content, "nameless content\n");
}

TEST_F(ArchiveExtractionTest, ReadOnlyFileAlreadyInTheOutputIsReplaced) {
  std::wstring existing = dir_.Join(L"readme.txt");
  ASSERT_TRUE(WriteFileBytes(existing, "stale"));
  ASSERT_TRUE(::SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(ExtractArchive(TestArchive(L"tree.7z").c_str(), dir_.path().c_str(), nullptr), 0);
  std::string content;
  ASSERT_TRUE(ReadFileBytes(existing, &content));
  EXPECT_EQ(content, "top level\r\n");
}

TEST_F(ArchiveExtractionTest, PasswordProtectedArchivesFail) {
  EXPECT_EQ(ExtractArchive(TestArchive(L"password.7z").c_str(), dir_.path().c_str(), nullptr), -1);
  EXPECT_EQ(
      ExtractArchive(TestArchive(L"password-header.7z").c_str(), dir_.Join(L"h").c_str(), nullptr),
      -1);
}

TEST_F(ArchiveExtractionTest, TruncatedArchiveFails) {
  EXPECT_EQ(ExtractArchive(TestArchive(L"truncated.7z").c_str(), dir_.path().c_str(), nullptr), -1);
}

TEST_F(ArchiveExtractionTest, MissingArchiveFileFails) {
  EXPECT_EQ(ExtractArchive(dir_.Join(L"none.7z").c_str(), dir_.path().c_str(), nullptr), -1);
}

TEST_F(ArchiveExtractionTest, StagedItemsMoveIntoTheTargetAndStagingGoes) {
  std::wstring staging = dir_.Join(L"staging");
  std::wstring target = dir_.Join(L"target");
  CUnzipCallback sink;
  sink.Prepare(staging, target);
  ASSERT_EQ(ExtractArchive(TestArchive(L"tree.7z").c_str(), staging.c_str(), &sink), 0);
  EXPECT_FALSE(FileExists(staging));
  EXPECT_TRUE(IsFolder(target + L"\\empty folder"));
  std::string chinese, deep;
  ASSERT_TRUE(ReadFileBytes(target + L"\\docs\\说明 文件.txt", &chinese));
  EXPECT_EQ(chinese, "中文内容\r\n");
  ASSERT_TRUE(ReadFileBytes(target + L"\\docs\\深层 目录\\three\\long.log", &deep));
  EXPECT_EQ(deep.size(), 300000u);
}

TEST_F(ArchiveExtractionTest, ExtractionCreatesAMissingOutputFolder) {
  std::wstring nested = dir_.Join(L"a\\b\\c");
  ASSERT_EQ(ExtractArchive(TestArchive(L"tree.7z").c_str(), nested.c_str(), nullptr), 0);
  EXPECT_TRUE(FileExists(nested + L"\\readme.txt"));
}

TEST(ArchiveLibraryState, ExtractWithoutTheLibraryFails) {
  ScopedTempDir dir;
  ASSERT_EQ(ArchiveLibraryHandle(), nullptr);
  EXPECT_EQ(ExtractArchive(TestArchive(L"tree.7z").c_str(), dir.path().c_str(), nullptr), -1);
}

TEST(ArchiveLibraryState, MissingResourceFailsBeforeAnyFileIsCreated) {
  ScopedTempDir temp;
  ScopedTempPathOverride override(temp.path() + L"\\");
  InstallerModule installer;
  ArchiveLibrary library;
  EXPECT_FALSE(library.LoadArchiveLibrary(installer.get(), L"NO_SUCH_RESOURCE", L"DLL"));
  EXPECT_FALSE(library.loaded());
  EXPECT_FALSE(library.ExtractMainArchive(installer.get(), L"NO_SUCH_RESOURCE", L"BINARY",
                                          temp.Join(L"target")));
  EXPECT_TRUE(ListFolder(temp.path()).empty());
}

TEST(ArchiveLibraryState, LibraryLivesUnderATemporaryNameUntilReleased) {
  ScopedTempDir temp;
  ScopedTempPathOverride override(temp.path() + L"\\");
  InstallerModule installer;
  ArchiveLibrary library;
  ASSERT_TRUE(library.LoadArchiveLibrary(installer.get(), L"IDR_7Z_CAB_DLL", L"DLL"));
  std::wstring copy = library.libraryPath();
  EXPECT_EQ(copy.substr(copy.size() - 4), L".tmp");
  EXPECT_EQ(copy.rfind(temp.path(), 0), 0u) << "not in the temporary folder";
  EXPECT_TRUE(FileExists(copy));
  // Only the library copy is left of the cabinet's unpacking.
  EXPECT_EQ(ListFolder(temp.path()).size(), 1u);
  library.ReleaseArchiveLibrary();
  EXPECT_FALSE(FileExists(copy));
  EXPECT_EQ(ArchiveLibraryHandle(), nullptr);
}

TEST(UnzipCallbackFlags, MovesCopyOnlyAcrossDrives) {
  CUnzipCallback sameDrive;
  sameDrive.Prepare(L"C:\\staging", L"c:\\target");
  EXPECT_EQ(sameDrive.moveFlags(), static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(sameDrive.stagingFolder(), L"C:\\staging\\");
  EXPECT_EQ(sameDrive.targetFolder(), L"c:\\target\\");
  CUnzipCallback otherDrive;
  otherDrive.Prepare(L"C:\\staging\\", L"Z:\\target");
  EXPECT_EQ(otherDrive.moveFlags(),
            static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
}

}  // namespace
