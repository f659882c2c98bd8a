// Unused "{GUID}.tmp" names in the user's temporary folder.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/TestFiles.h"
#include "unpack/TempPath.h"

namespace {

std::wstring TempFolder() {
  wchar_t folder[1024] = {};
  ::GetTempPathW(1024, folder);
  std::wstring text = folder;
  if (!text.empty() && text.back() != L'\\') text += L'\\';
  return text;
}

TEST(MakeTempPath, LiesDirectlyInTheTemporaryFolder) {
  std::wstring path;
  ASSERT_TRUE(MakeTempPath(path));
  std::wstring folder = TempFolder();
  ASSERT_GT(path.size(), folder.size());
  EXPECT_EQ(::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                   static_cast<int>(folder.size()), TRUE),
            CSTR_EQUAL)
      << path;
  EXPECT_EQ(path.find(L'\\', folder.size()), std::wstring::npos) << path;
}

TEST(MakeTempPath, NameIsABracedGuidWithLowerCaseThirdGroup) {
  std::wstring path;
  ASSERT_TRUE(MakeTempPath(path));
  std::wstring name = path.substr(path.rfind(L'\\') + 1);
  static const std::wregex pattern(
      L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\\.tmp");
  EXPECT_TRUE(std::regex_match(name, pattern)) << name;
}

TEST(MakeTempPath, NothingIsCreated) {
  std::wstring path;
  ASSERT_TRUE(MakeTempPath(path));
  EXPECT_FALSE(FileExists(path)) << path;
}

TEST(MakeTempPath, EachCallGivesANewName) {
  std::wstring first, second;
  ASSERT_TRUE(MakeTempPath(first));
  ASSERT_TRUE(MakeTempPath(second));
  EXPECT_NE(first, second);
}

TEST(MakeTempPath, FollowsTheTemporaryFolderSetForTheProcess) {
  ScopedTempDir dir;
  wchar_t oldTmp[1024] = {};
  DWORD hadTmp = ::GetEnvironmentVariableW(L"TMP", oldTmp, 1024);
  ::SetEnvironmentVariableW(L"TMP", dir.path().c_str());
  std::wstring path;
  bool made = MakeTempPath(path);
  ::SetEnvironmentVariableW(L"TMP", hadTmp ? oldTmp : nullptr);
  ASSERT_TRUE(made);
  EXPECT_EQ(path.substr(0, dir.path().size() + 1), dir.path() + L"\\") << path;
}

}  // namespace
