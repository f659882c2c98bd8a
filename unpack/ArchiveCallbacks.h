#pragma once
#include <windows.h>

#include <string>

#include "unpack/SevenZipInterfaces.h"
#include "unpack/ExtractCallback.h"

class COutFileStream;

// Open callback: progress is dropped and no password is ever given, so a
// protected archive fails to open.
class CArchiveOpenCallback : public IArchiveOpenCallback, public ICryptoGetTextPassword {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** out) noexcept override;
  STDMETHOD_(ULONG, AddRef)() noexcept override;
  STDMETHOD_(ULONG, Release)() noexcept override;
  STDMETHOD(SetTotal)(const UInt64* files, const UInt64* bytes) noexcept override;
  STDMETHOD(SetCompleted)(const UInt64* files, const UInt64* bytes) noexcept override;
  STDMETHOD(CryptoGetTextPassword)(BSTR* password) noexcept override;

 private:
  virtual ~CArchiveOpenCallback() = default;
  ULONG refCount_ = 0;
  bool passwordDefined_ = false;
  std::wstring password_;
};

// Extract callback: writes every item under the output folder and tells the
// sink when each one starts and is done. An item that fails its check stops
// the extraction and is not passed on.
class CArchiveExtractCallback : public IArchiveExtractCallback, public ICryptoGetTextPassword {
 public:
  void Init(IInArchive* archive, const wchar_t* outputFolder, IExtractCallback* sink);
  // Some item came out damaged (bad checksum, bad data, cut short).
  bool damaged() const { return damaged_; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) noexcept override;
  STDMETHOD_(ULONG, AddRef)() noexcept override;
  STDMETHOD_(ULONG, Release)() noexcept override;
  STDMETHOD(SetTotal)(UInt64 total) noexcept override;
  STDMETHOD(SetCompleted)(const UInt64* completeValue) noexcept override;
  STDMETHOD(GetStream)(UInt32 index, ISequentialOutStream** outStream,
                       Int32 askExtractMode) noexcept override;
  STDMETHOD(PrepareOperation)(Int32 askExtractMode) noexcept override;
  STDMETHOD(SetOperationResult)(Int32 operationResult) noexcept override;
  STDMETHOD(CryptoGetTextPassword)(BSTR* password) noexcept override;

 private:
  virtual ~CArchiveExtractCallback();
  void ReleaseOutputStream();
  UInt32 ItemCount();

  ULONG refCount_ = 0;
  IInArchive* archive_ = nullptr;
  std::wstring outputFolder_;
  std::wstring relativePath_;
  std::wstring diskPath_;
  std::wstring madeFolder_;
  bool extractMode_ = false;
  FILETIME modificationTime_ = {};
  UInt32 attributes_ = 0;
  bool isDirectory_ = false;
  bool attributesDefined_ = false;
  bool modificationTimeDefined_ = false;
  COutFileStream* outputStream_ = nullptr;
  bool passwordDefined_ = false;
  std::wstring password_;
  IExtractCallback* sink_ = nullptr;
  UInt32 index_ = 0;
  bool damaged_ = false;
};
