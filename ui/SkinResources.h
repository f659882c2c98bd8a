#pragma once
#include <windows.h>
#include <commctrl.h>

// What the installer's windows share: the seven UI fonts, the skin bitmaps
// they blend and the image lists of their buttons. Fonts are made once at
// start-up; bitmaps and lists on first request, kept until the process ends.
class SkinResources {
 public:
  struct FontSpec {
    const wchar_t* face;
    int baseHeight;
    int weight;
    bool underline;
  };
  // Font index (0 to 6) for a system whose version code is osCode.
  static FontSpec FontSpecFor(int index, int osCode);
  static bool UsesYaHei(int osCode) { return osCode >= 7; }

  // The module holding the skin images and every window's resources.
  void SetModule(HMODULE module) { module_ = module; }
  HMODULE module() const { return module_; }

  void CreateFonts();
  HFONT font(int index) const { return index >= 0 && index < 7 ? fonts_[index] : nullptr; }

  HBITMAP MainBackground() { return Cached(kMainBackground, 202); }
  HBITMAP ProgressTrack() { return Cached(kProgressTrack, 208); }
  HBITMAP ProgressFill() { return Cached(kProgressFill, 201); }
  HBITMAP PathEditFramePlain() { return Cached(kPathEditFramePlain, 211); }
  HBITMAP PathEditFrame() { return Cached(kPathEditFrame, 212); }
  HBITMAP OptionBackground() { return Cached(kOptionBackground, 210); }
  HBITMAP Divider() { return Cached(kDivider, 216); }

  // Built anew on every request; the caller's button keeps the list.
  HIMAGELIST InstallButtonImages();
  HIMAGELIST AgreeButtonImages();
  HIMAGELIST CloseButtonImages();
  // Built once.
  HIMAGELIST BrowseButtonImages();
  HIMAGELIST ExpandArrowImages();
  HIMAGELIST CollapseArrowImages();
  HIMAGELIST CheckMarkImages();
  HIMAGELIST DeclineButtonImages();

 private:
  enum CachedSlot {
    kMainBackground, kProgressTrack, kProgressFill, kPathEditFramePlain, kPathEditFrame,
    kOptionBackground, kDivider, kCachedCount
  };
  enum ListSlot {
    kInstallList, kAgreeList, kUnassignedList, kBrowseList, kExpandList, kCollapseList,
    kCheckList, kCloseList, kDeclineList, kListCount
  };
  HBITMAP Cached(CachedSlot slot, int baseId);
  HIMAGELIST BuildList(int baseId, int frameWidth, int frameHeight);
  HIMAGELIST OnceList(ListSlot slot, int baseId, int frameWidth, int frameHeight);

  HMODULE module_ = nullptr;
  HFONT fonts_[7] = {};
  HBITMAP cached_[kCachedCount] = {};
  bool cachedTried_[kCachedCount] = {};
  HIMAGELIST lists_[kListCount] = {};
};
