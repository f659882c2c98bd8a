#pragma once
#include <windows.h>

#include "unpack/SevenZipInterfaces.h"

// File streams handed to the 7z library, in its reference-counted COM style.
// Each Win32 read or write moves at most 4 MiB; the library asks for the rest.

class CInFileStream : public IInStream, public IStreamGetSize {
 public:
  bool Open(const wchar_t* path);

  STDMETHOD(QueryInterface)(REFIID iid, void** out) noexcept override;
  STDMETHOD_(ULONG, AddRef)() noexcept override;
  STDMETHOD_(ULONG, Release)() noexcept override;
  STDMETHOD(Read)(void* data, UInt32 size, UInt32* processedSize) noexcept override;
  STDMETHOD(Seek)(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) noexcept override;
  STDMETHOD(GetSize)(UInt64* size) noexcept override;

 private:
  virtual ~CInFileStream();
  ULONG refCount_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

class COutFileStream : public IOutStream {
 public:
  bool Create(const wchar_t* path);
  // Closes the file, first setting its last-write time when one is given.
  HRESULT Close(const FILETIME* lastWriteTime);
  UInt64 bytesWritten() const { return bytesWritten_; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) noexcept override;
  STDMETHOD_(ULONG, AddRef)() noexcept override;
  STDMETHOD_(ULONG, Release)() noexcept override;
  STDMETHOD(Write)(const void* data, UInt32 size, UInt32* processedSize) noexcept override;
  STDMETHOD(Seek)(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) noexcept override;
  STDMETHOD(SetSize)(UInt64 newSize) noexcept override;

 private:
  virtual ~COutFileStream();
  ULONG refCount_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  UInt64 bytesWritten_ = 0;
};

// HRESULT_FROM_WIN32 of the last error, or E_FAIL when there is none.
HRESULT LastErrorResult();
