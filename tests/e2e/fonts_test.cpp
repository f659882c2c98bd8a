// The faces the installer's windows draw with, as each system gets them
// (e2e-run reads the system from the case's name).
#include <gtest/gtest.h>

#include <string>

#include "ui/SkinResources.h"

namespace {

struct System {
  const char* name;
  const wchar_t* face;  // every font's but the always-YaHei one
  LONG dialogHeight, buttonWeight;
};
class Fonts : public ::testing::TestWithParam<System> {};

TEST_P(Fonts, FollowTheSystemAndOneIsAlwaysYaHei) {
  SkinResources skin;
  skin.CreateFonts();
  LOGFONTW dialog = {}, button = {}, always = {};
  ASSERT_TRUE(::GetObjectW(skin.font(0), sizeof(dialog), &dialog));
  ASSERT_TRUE(::GetObjectW(skin.font(3), sizeof(button), &button));
  ASSERT_TRUE(::GetObjectW(skin.font(2), sizeof(always), &always));
  EXPECT_EQ(std::wstring(dialog.lfFaceName), GetParam().face);
  EXPECT_EQ(std::wstring(button.lfFaceName), GetParam().face);
  EXPECT_EQ(std::wstring(always.lfFaceName), L"微软雅黑");
  EXPECT_EQ(dialog.lfHeight, GetParam().dialogHeight);
  EXPECT_EQ(button.lfWeight, GetParam().buttonWeight) << "the install button's font";
}
INSTANTIATE_TEST_SUITE_P(Systems, Fonts,
                         ::testing::Values(System{"WinXP_32", L"Tahoma", 14, 700},
                                           System{"Win7_64", L"微软雅黑", 17, 0},
                                           System{"Win8_64", L"Tahoma", 14, 700}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
