// Cabinet expansion through SetupAPI: what lands where, and which cabinets
// are refused as a whole.
#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"
#include "unpack/Cabinet.h"

namespace {

std::wstring TestCabinet(const wchar_t* name) {
  return std::wstring(KELVO_TEST_DATA_WIN) + L"\\cabinets\\" + name;
}

TEST(CabinetExpansion, PlainCabinetLandsWithItsFolders) {
  ScopedTempDir dir;
  ASSERT_TRUE(ExtractCabinet(TestCabinet(L"plain.cab").c_str(), dir.path().c_str()));
  std::string a, b;
  ASSERT_TRUE(ReadFileBytes(dir.Join(L"a.txt"), &a));
  ASSERT_TRUE(ReadFileBytes(dir.Join(L"sub\\b.txt"), &b));
  EXPECT_EQ(a, "alpha\r\n");
  EXPECT_EQ(b, "bravo\r\n");
}

TEST(CabinetExpansion, ExistingFilesAreOverwritten) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"a.txt"), "old content"));
  ASSERT_TRUE(ExtractCabinet(TestCabinet(L"plain.cab").c_str(), dir.path().c_str()));
  std::string a;
  ASSERT_TRUE(ReadFileBytes(dir.Join(L"a.txt"), &a));
  EXPECT_EQ(a, "alpha\r\n");
}

TEST(CabinetExpansion, DotDotEntryStopsTheWholeExpansion) {
  ScopedTempDir dir;
  std::wstring inner = dir.Join(L"inner");
  ::CreateDirectoryW(inner.c_str(), nullptr);
  EXPECT_FALSE(ExtractCabinet(TestCabinet(L"dotdot.cab").c_str(), inner.c_str()));
  EXPECT_FALSE(FileExists(dir.Join(L"evil.txt")));
}

TEST(CabinetExpansion, EntryOutsideTheDestinationStopsTheWholeExpansion) {
  ScopedTempDir dir;
  EXPECT_FALSE(ExtractCabinet(TestCabinet(L"absolute.cab").c_str(), dir.path().c_str()));
  EXPECT_FALSE(FileExists(L"C:\\evil.txt"));
}

TEST(CabinetExpansion, CabinetAskingForANextCabinetFails) {
  ScopedTempDir dir;
  EXPECT_FALSE(ExtractCabinet(TestCabinet(L"spanning.cab").c_str(), dir.path().c_str()));
}

TEST(CabinetExpansion, EmptyArgumentsFail) {
  ScopedTempDir dir;
  EXPECT_FALSE(ExtractCabinet(L"", dir.path().c_str()));
  EXPECT_FALSE(ExtractCabinet(TestCabinet(L"plain.cab").c_str(), L""));
  EXPECT_FALSE(ExtractCabinet(nullptr, dir.path().c_str()));
}

TEST(CabinetExpansion, MissingCabinetFails) {
  ScopedTempDir dir;
  EXPECT_FALSE(ExtractCabinet(dir.Join(L"none.cab").c_str(), dir.path().c_str()));
}

}  // namespace
