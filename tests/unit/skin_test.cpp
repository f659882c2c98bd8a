// Display scale, skin image sets, fonts, nine-slice geometry and the
// progress fill.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "ui/SkinResources.h"
#include "support/InstallerResources.h"
#include "ui/DisplayScale.h"
#include "ui/KelvoProgressCtrl.h"
#include "ui/NineSlice.h"
#include "ui/OsVersionCode.h"
#include "ui/PngBitmap.h"
#include "ui/ScaledResourceId.h"
#include "ui/SkinResources.h"

namespace {

class AtDpi {
 public:
  explicit AtDpi(int dpi) { DisplayScale::Instance().SetFromDpi(dpi); }
  ~AtDpi() { DisplayScale::Instance().SetFromDpi(96); }
};

TEST(DisplayScale, StepsOfTheDpiTable) {
  EXPECT_EQ(DisplayScale::ScaleForDpi(96), 1.0f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(120), 1.5f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(144), 1.5f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(168), 2.0f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(192), 2.0f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(216), 2.5f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(240), 2.5f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(288), 3.0f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(336), 3.0f);
  EXPECT_EQ(DisplayScale::ScaleForDpi(110), 0.0f);
}

TEST(DisplayScale, UnknownDpiKeepsScaleOne) {
  DisplayScale& scale = DisplayScale::Instance();
  EXPECT_FALSE(scale.SetFromDpi(110));
  EXPECT_EQ(scale.scale(), 1.0f);
  EXPECT_EQ(ScaledResourceId(204), 204);
}

TEST(DisplayScale, ScalesEachTermAndTruncates) {
  AtDpi dpi(144);
  EXPECT_EQ(Scaled(205), 307);
  EXPECT_EQ(Scaled(131) + Scaled(295), 638);
  EXPECT_EQ(Scaled(426), 639);
  EXPECT_GT(DisplayScale::Instance().screenWidth(), 0);
}

TEST(ScaledResourceId, OneSetPerScale) {
  EXPECT_EQ(ScaledResourceIdFor(1.0f, 201), 201);
  EXPECT_EQ(ScaledResourceIdFor(1.5f, 201), 301);
  EXPECT_EQ(ScaledResourceIdFor(2.0f, 201), 401);
  EXPECT_EQ(ScaledResourceIdFor(2.5f, 201), 501);
  EXPECT_EQ(ScaledResourceIdFor(3.0f, 201), 601);
  EXPECT_EQ(ScaledResourceIdFor(4.0f, 201), 201);
  EXPECT_EQ(ScaledResourceIdFor(0.0f, 201), 201);
}

TEST(SkinImages, EverySetHasEveryImageAtItsSize) {
  InstallerModule module;
  ASSERT_TRUE(module.get());
  struct Image {
    int id, width, height;
  } images[] = {{201, 6, 6},     {202, 570, 380}, {203, 571, 380}, {204, 640, 36},
                {205, 64, 16},   {206, 64, 16},   {207, 96, 24},   {208, 474, 6},
                {209, 56, 14},   {210, 14, 14},   {211, 295, 32},  {212, 295, 32},
                {213, 288, 32},  {214, 360, 32},  {215, 360, 32},  {216, 608, 2},
                {222, 152, 152}};
  for (int dpi : {96, 144, 192, 240, 288}) {
    AtDpi scale(dpi);
    float s = DisplayScale::Instance().scale();
    for (const Image& image : images) {
      HBITMAP bitmap = LoadPngBitmap(module.get(), image.id);
      ASSERT_TRUE(bitmap) << image.id << " at " << s;
      BITMAP info = {};
      ::GetObjectW(bitmap, sizeof(info), &info);
      EXPECT_EQ(info.bmWidth, static_cast<int>(image.width * s)) << image.id << " at " << s;
      EXPECT_EQ(info.bmHeight, static_cast<int>(image.height * s)) << image.id << " at " << s;
      EXPECT_EQ(info.bmBitsPixel, 32);
      ::DeleteObject(bitmap);
    }
  }
}

TEST(SkinImages, MissingImageYieldsNoBitmap) {
  InstallerModule module;
  EXPECT_EQ(LoadPngBitmap(module.get(), 299), nullptr);
  EXPECT_EQ(LoadPngBitmap(module.get(), 201, L"NOTPNG"), nullptr);
}

TEST(SkinImages, InstallButtonFramesAt144Dpi) {
  InstallerModule module;
  {
    AtDpi dpi(144);
    SkinResources skin;
    skin.SetModule(module.get());
    HIMAGELIST list = skin.InstallButtonImages();
    ASSERT_TRUE(list);
    int width = 0, height = 0;
    ImageList_GetIconSize(list, &width, &height);
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 54);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
  }
}

TEST(NineSlice, BordersThatDoNotFitAreShrunkFromTheLeftHalf) {
  NineSlicePiece pieces[9];
  RECT dest = {0, 0, 30, 90};
  int count = ComputeNineSlice(dest, 90, 90, 0, 30, 30, 20, 20, pieces);
  ASSERT_EQ(count, 6);  // no centre column
  EXPECT_EQ(pieces[0].destWidth, 15);
  EXPECT_EQ(pieces[1].destX, 15);
  EXPECT_EQ(pieces[1].destWidth, 15);
}

TEST(NineSlice, FramesShiftEverySourceAndDefaultsAreAThird) {
  NineSlicePiece pieces[9];
  RECT dest = {10, 10, 310, 130};
  int count = ComputeNineSlice(dest, 24, 24, 2, 0, 0, 0, 0, pieces);
  ASSERT_EQ(count, 9);
  EXPECT_EQ(pieces[0].sourceX, 48);
  EXPECT_EQ(pieces[0].destWidth, 8);
  EXPECT_EQ(pieces[0].destHeight, 8);
  EXPECT_EQ(pieces[4].destWidth, 300 - 16);
  EXPECT_EQ(pieces[4].sourceWidth, 8);
  EXPECT_EQ(pieces[8].destX, 310 - 8);
}

TEST(OsVersionCode, ClassifiesTheTable) {
  auto code = [](DWORD major, DWORD minor, const wchar_t* servicePack) {
    OSVERSIONINFOEXW v = {};
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    lstrcpynW(v.szCSDVersion, servicePack, 128);
    return ClassifyOsVersion(v);
  };
  EXPECT_EQ(code(5, 0, L""), 1);
  EXPECT_EQ(code(5, 1, L"Service Pack 1"), 3);
  EXPECT_EQ(code(5, 1, L"Service Pack 2"), 4);
  EXPECT_EQ(code(5, 1, L"Service Pack 3"), 5);
  EXPECT_EQ(code(5, 1, L"Service Pack 3a"), 2);
  EXPECT_EQ(code(5, 2, L""), 6);
  EXPECT_EQ(code(5, 3, L""), kUnclassifiedOs);
  EXPECT_EQ(code(6, 0, L"Service Pack 2"), 8);
  EXPECT_EQ(code(6, 0, L""), 7);
  EXPECT_EQ(code(6, 1, L""), 9);
  EXPECT_EQ(code(6, 2, L""), kUnclassifiedOs);
  EXPECT_EQ(code(6, 3, L""), 1000);
  EXPECT_EQ(code(7, 0, L""), 9);
  EXPECT_EQ(code(10, 0, L""), 1000);
  EXPECT_EQ(code(4, 0, L""), kUnclassifiedOs);
}

TEST(Fonts, YaHeiFromVistaOnTahomaOnWindows8AndOlder) {
  int windows8 = kUnclassifiedOs, windows10 = 1000;
  for (int i = 0; i < 7; ++i) {
    SkinResources::FontSpec spec = SkinResources::FontSpecFor(i, windows8);
    EXPECT_STREQ(spec.face, i == 2 ? L"微软雅黑" : L"Tahoma") << i;
    EXPECT_STREQ(SkinResources::FontSpecFor(i, windows10).face, L"微软雅黑") << i;
  }
  EXPECT_EQ(SkinResources::FontSpecFor(3, windows8).weight, FW_BOLD);
  EXPECT_EQ(SkinResources::FontSpecFor(3, windows10).weight, FW_DONTCARE);
  EXPECT_EQ(SkinResources::FontSpecFor(0, windows10).baseHeight, 17);
  EXPECT_EQ(SkinResources::FontSpecFor(0, windows8).baseHeight, 14);
  EXPECT_TRUE(SkinResources::FontSpecFor(5, windows10).underline);
}

TEST(ProgressFill, GrowsWithThePositionUpToTheTrackLessItsCaps) {
  EXPECT_EQ(CKelvoProgressCtrl::FillWidth(-1), -1);
  EXPECT_EQ(CKelvoProgressCtrl::FillWidth(0), 0);
  EXPECT_EQ(CKelvoProgressCtrl::FillWidth(50), 229);
  EXPECT_EQ(CKelvoProgressCtrl::FillWidth(100), 458 - 6);
  AtDpi dpi(144);
  EXPECT_EQ(CKelvoProgressCtrl::FillWidth(100), 687 - 8);
}

}  // namespace
