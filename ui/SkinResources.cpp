#include "ui/SkinResources.h"

#include "ui/DisplayScale.h"
#include "ui/OsVersionCode.h"
#include "ui/PngBitmap.h"

namespace {

constexpr wchar_t kYaHei[] = L"微软雅黑";
constexpr wchar_t kTahoma[] = L"Tahoma";

}  // namespace

SkinResources::FontSpec SkinResources::FontSpecFor(int index, int osCode) {
  bool yaHei = UsesYaHei(osCode);
  const wchar_t* chosen = yaHei ? kYaHei : kTahoma;
  switch (index) {
    case 0: return {chosen, yaHei ? 17 : 14, FW_DONTCARE, false};
    case 1: return {chosen, 16, FW_DONTCARE, false};
    case 2: return {kYaHei, yaHei ? 24 : 28, FW_DONTCARE, false};
    case 3: return {chosen, yaHei ? 20 : 14, yaHei ? FW_DONTCARE : FW_BOLD, false};
    case 4: return {chosen, yaHei ? 24 : 28, yaHei ? FW_DONTCARE : FW_BOLD, false};
    case 5: return {chosen, yaHei ? 17 : 13, FW_DONTCARE, true};
    case 6: return {chosen, 33, yaHei ? FW_DONTCARE : FW_BOLD, false};
    default: return {chosen, 0, FW_DONTCARE, false};
  }
}

void SkinResources::CreateFonts() {
  int osCode = OsVersionCode();
  for (int i = 0; i < 7; ++i) {
    if (fonts_[i]) continue;
    FontSpec spec = FontSpecFor(i, osCode);
    fonts_[i] = ::CreateFontW(Scaled(spec.baseHeight), 0, 0, 0, spec.weight, FALSE,
                              spec.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH, spec.face);
  }
}

HBITMAP SkinResources::Cached(CachedSlot slot, int baseId) {
  if (!cachedTried_[slot]) {
    cachedTried_[slot] = true;
    cached_[slot] = LoadPngBitmap(module_, baseId);
  }
  return cached_[slot];
}

HIMAGELIST SkinResources::BuildList(int baseId, int frameWidth, int frameHeight) {
  HIMAGELIST list = ImageList_Create(Scaled(frameWidth), Scaled(frameHeight), ILC_COLOR32, 4, 0);
  if (!list) return nullptr;
  HBITMAP strip = LoadPngBitmap(module_, baseId);
  if (strip) {
    ImageList_Add(list, strip, nullptr);
    ::DeleteObject(strip);
  }
  return list;
}

HIMAGELIST SkinResources::OnceList(ListSlot slot, int baseId, int frameWidth, int frameHeight) {
  if (!lists_[slot]) lists_[slot] = BuildList(baseId, frameWidth, frameHeight);
  return lists_[slot];
}

// The rebuilt lists leave the previous one to the button that holds it.
HIMAGELIST SkinResources::InstallButtonImages() {
  return lists_[kInstallList] = BuildList(204, 160, 36);
}
HIMAGELIST SkinResources::AgreeButtonImages() { return lists_[kAgreeList] = BuildList(215, 90, 32); }
HIMAGELIST SkinResources::CloseButtonImages() { return lists_[kCloseList] = BuildList(207, 24, 24); }
HIMAGELIST SkinResources::BrowseButtonImages() { return OnceList(kBrowseList, 213, 72, 32); }
HIMAGELIST SkinResources::ExpandArrowImages() { return OnceList(kExpandList, 205, 16, 16); }
HIMAGELIST SkinResources::CollapseArrowImages() { return OnceList(kCollapseList, 206, 16, 16); }
HIMAGELIST SkinResources::CheckMarkImages() { return OnceList(kCheckList, 209, 14, 14); }
HIMAGELIST SkinResources::DeclineButtonImages() { return OnceList(kDeclineList, 214, 90, 32); }
