#include "unpack/BaseLibrary.h"

#include <wchar.h>

#include <string>

#include "unpack/KelvoPublicDLLHelper.h"
#include "unpack/ResourceUnpack.h"

namespace {

constexpr LONG kLevelNotDetermined = -1;

// The binders exist from start-up; only the base library is ever loaded.
CKelvoBaseExportFuncs& g_baseLibrary = CKelvoBaseExportFuncs::Instance();
CKelvoConfExportFuncs& g_confLibrary = CKelvoConfExportFuncs::Instance();
CKelvoUtilExportFuncs& g_utilLibrary = CKelvoUtilExportFuncs::Instance();

// The shape of the information values the file object answers with.
DWORD Bits(DWORD value, int shift) { return (value >> shift) & 0xF; }

}  // namespace

BOOL UnpackBaseLibrary(wchar_t* path, DWORD length) {
  if (!path || length == 0) return FALSE;
  path[0] = L'\0';
  CResourceUnpack unpack;
  if (!unpack.LoadFromResource(nullptr, L"IDR_KELVOBASE_CAB_DLL", L"DLL")) return FALSE;
  std::wstring folder;
  if (!unpack.UnpackToTemp(folder, false)) return FALSE;
  std::wstring library = folder + L"\\Kelvobase.dll";
  wcsncpy(path, library.c_str(), length - 1);
  path[length - 1] = L'\0';
  return TRUE;
}

BOOL LoadBaseLibrary() {
  CKelvoBaseExportFuncs& base = g_baseLibrary;
  if (base.attempted()) return base.ready();
  // Unpacked again on every call until the one attempt has run: the answer
  // is then read from the instance.
  wchar_t path[MAX_PATH] = {};
  if (!UnpackBaseLibrary(path, MAX_PATH) || !path[0] || path[1] != L':') return FALSE;
  return base.LoadOnce(path);
}

void UnloadBaseLibrary() { g_baseLibrary.Unload(); }

bool CKelvoBaseExportFuncs::CheckFileTrust(const wchar_t* path, LONG* level) {
  if (auto query = reinterpret_cast<KelvoTrustQueryFunc>(ExportSlot(kTrustQuerySlot))) {
    return query(path, level) != FALSE;
  }
  if (!createObject_) return false;

  IKelvoFileInfo* info = nullptr;
  ExportAs<KelvoCreateObjectFunc>(createObject_)(&kKelvoFileInfoIid,
                                                 reinterpret_cast<void**>(&info));
  *level = kLevelNotDetermined;
  if (!info) return false;

  bool determined = false;
  DWORD value = 0;
  if (info->Open(path, 0)) {
    if (info->QueryInformation(kFileInfoPublisher, &value) &&
        (Bits(value, 12) == 2 || Bits(value, 12) == 3)) {
      *level = 1;
      determined = true;
    } else if (info->QueryInformation(kFileInfoRating, &value) && Bits(value, 16) == 3) {
      *level = 4;
      determined = true;
    } else if (info->QueryInformation(kFileInfoThreat, &value) && Bits(value, 8) == 3) {
      *level = 3;
      determined = true;
    }
  }
  info->Release();
  return determined;
}
