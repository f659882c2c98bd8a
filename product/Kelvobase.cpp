// Our stand-in for the maker's base library. It answers trust questions
// from the embedded signature, through both ways the installer asks: the
// export table's trust query and the file-information object.
//
// A variant for the tests: KELVOBASE_DISTRUST_ALL answers every trust query
// with level 3.
#include <windows.h>

#include "unpack/KelvoBaseInterface.h"
#include "unpack/SignatureCheck.h"

#define KELVOBASE_EXPORT extern "C" __declspec(dllexport)

namespace {

// The library's own table size: it fills fewer slots than the installer offers.
constexpr DWORD kFilledSlots = 16;
constexpr LONG kLevelUntrusted = 3;

// The trust level of a file: the signature's own level when it verifies, 3
// for a file without one or with one that fails. False when the file cannot
// be read at all.
BOOL WINAPI QueryFileTrust(const wchar_t* path, LONG* level) {
  if (!path || !level) return FALSE;
#if defined(KELVOBASE_DISTRUST_ALL)
  *level = kLevelUntrusted;
  return TRUE;
#else
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  BYTE work[kSignatureWorkBufferSize];
  SignatureCheckRecord record = {};
  BOOL ran = CheckEmbeddedSignature(file, work, &record);
  ::CloseHandle(file);
  if (!ran) return FALSE;
  *level = record.status == kSignatureValid ? record.level : kLevelUntrusted;
  return TRUE;
#endif
}

[[maybe_unused]] LONG WINAPI LibraryVersion() { return 0x00020000; }

class FileInfo final : public IKelvoFileInfo {
 public:
  // From the process heap, null when it is full: the library's own operator
  // new would throw, and bring the exception runtime along.
  static void* operator new(size_t size) noexcept {
    return ::HeapAlloc(::GetProcessHeap(), 0, size);
  }
  static void operator delete(void* object) { ::HeapFree(::GetProcessHeap(), 0, object); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kKelvoFileInfoIid)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  BOOL STDMETHODCALLTYPE Open(const wchar_t* path, DWORD) override {
    opened_ = QueryFileTrust(path, &level_);
    return opened_;
  }
  HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved16() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved17() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved18() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved19() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }

  // Level 4 files answer through the rating class, bad ones through the
  // threat class, every other signed file through the publisher class.
  BOOL STDMETHODCALLTYPE QueryInformation(DWORD infoClass, DWORD* value) override {
    if (!opened_ || !value) return FALSE;
    *value = 0;
    switch (infoClass) {
      case kFileInfoPublisher:
        if (level_ == kLevelUntrusted || level_ == 4) return FALSE;
        *value = 2u << 12;
        return TRUE;
      case kFileInfoRating:
        if (level_ != 4) return FALSE;
        *value = 3u << 16;
        return TRUE;
      case kFileInfoThreat:
        *value = (level_ == kLevelUntrusted ? 3u : 0u) << 8;
        return TRUE;
      default:
        return FALSE;
    }
  }

 private:
  LONG references_ = 1;
  BOOL opened_ = FALSE;
  LONG level_ = -1;
};

}  // namespace

// The entry point, in place of the C runtime's start-up code (linked without
// it): nothing here is built or torn down with the library.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, void*) { return TRUE; }

KELVOBASE_EXPORT LONG WINAPI InitLibs(KelvoExportTable* table) {
  if (!table || table->count < kFilledSlots) return E_INVALIDARG;
  for (DWORD i = 0; i < kFilledSlots; ++i) table->slots[i] = nullptr;
  table->slots[0] = reinterpret_cast<void*>(&LibraryVersion);
  table->slots[kTrustQuerySlot] = reinterpret_cast<void*>(&QueryFileTrust);
  table->count = kFilledSlots;
  return 0;
}

KELVOBASE_EXPORT HRESULT WINAPI CreateObject(const GUID* iid, void** object) {
  if (!iid || !object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(*iid, kKelvoFileInfoIid)) return E_NOINTERFACE;
  FileInfo* info = new FileInfo();
  if (!info) return E_OUTOFMEMORY;
  *object = static_cast<IKelvoFileInfo*>(info);
  return S_OK;
}
