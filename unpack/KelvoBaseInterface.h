#pragma once
#include <windows.h>
#include <unknwn.h>

// The calls the installer makes into the maker's base library
// ("Kelvobase.dll"). Shared with our stand-in of that library.

// "InitLibs" fills this table; the count says how many slots it filled.
constexpr DWORD kKelvoExportSlots = 256;
struct KelvoExportTable {
  DWORD count;
  void* slots[kKelvoExportSlots];
};

// The eleventh pointer after the count: asks how far a file may be trusted.
constexpr DWORD kTrustQuerySlot = 10;

typedef LONG(WINAPI* KelvoInitLibsFunc)(KelvoExportTable* table);
typedef HRESULT(WINAPI* KelvoCreateObjectFunc)(const GUID* iid, void** object);
typedef BOOL(WINAPI* KelvoTrustQueryFunc)(const wchar_t* path, LONG* level);

// An export looked up by name, as the function type it really has.
template <class Function>
Function ExportAs(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

// {6066F80A-4B6D-4D49-B5DC-DB9D1DD07253}
constexpr GUID kKelvoFileInfoIid = {
    0x6066F80A, 0x4B6D, 0x4D49, {0xB5, 0xDC, 0xDB, 0x9D, 0x1D, 0xD0, 0x72, 0x53}};

// The file-information object "CreateObject" hands out. Only the release,
// open and query slots are used; the ones between belong to the library.
struct IKelvoFileInfo : public IUnknown {
  virtual BOOL STDMETHODCALLTYPE Open(const wchar_t* path, DWORD flags) = 0;  // slot 3
  virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved19() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0;
  virtual BOOL STDMETHODCALLTYPE QueryInformation(DWORD infoClass, DWORD* value) = 0;  // slot 21
};

// Information classes and the bit fields the installer reads from them.
enum : DWORD {
  kFileInfoThreat = 3,     // bits 8-11 == 3: known bad
  kFileInfoPublisher = 4,  // bits 12-15 == 2 or 3: the maker's own file
  kFileInfoRating = 5,     // bits 16-19 == 3: trusted by rating
};
