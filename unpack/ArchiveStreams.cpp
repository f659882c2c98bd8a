#include "unpack/ArchiveStreams.h"

namespace {

constexpr UInt32 kMaxChunk = 0x400000;

HRESULT SeekFile(HANDLE file, Int64 offset, UInt32 origin, UInt64* newPosition) {
  if (origin > FILE_END) return STG_E_INVALIDFUNCTION;
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = ::SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, origin);
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return LastErrorResult();
  if (newPosition) *newPosition = (static_cast<UInt64>(static_cast<DWORD>(high)) << 32) | low;
  return S_OK;
}

}  // namespace

HRESULT LastErrorResult() {
  DWORD error = ::GetLastError();
  if (error == 0) return E_FAIL;
  return static_cast<HRESULT>(0x80070000u | (error & 0xFFFF));
}

// --- CInFileStream ---------------------------------------------------------

CInFileStream::~CInFileStream() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
}

bool CInFileStream::Open(const wchar_t* path) {
  file_ = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return file_ != INVALID_HANDLE_VALUE;
}

STDMETHODIMP CInFileStream::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_ISequentialInStream || iid == IID_IInStream) {
    *out = static_cast<IInStream*>(this);
  } else if (iid == IID_IStreamGetSize) {
    *out = static_cast<IStreamGetSize*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CInFileStream::AddRef() noexcept { return ++refCount_; }

STDMETHODIMP_(ULONG) CInFileStream::Release() noexcept {
  ULONG left = --refCount_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CInFileStream::Read(void* data, UInt32 size, UInt32* processedSize) noexcept {
  if (processedSize) *processedSize = 0;
  DWORD got = 0;
  if (!::ReadFile(file_, data, size < kMaxChunk ? size : kMaxChunk, &got, nullptr)) {
    return LastErrorResult();
  }
  if (processedSize) *processedSize = got;
  return S_OK;
}

STDMETHODIMP CInFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) noexcept {
  return SeekFile(file_, offset, seekOrigin, newPosition);
}

STDMETHODIMP CInFileStream::GetSize(UInt64* size) noexcept {
  DWORD high = 0;
  DWORD low = ::GetFileSize(file_, &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return LastErrorResult();
  *size = (static_cast<UInt64>(high) << 32) | low;
  return S_OK;
}

// --- COutFileStream --------------------------------------------------------

COutFileStream::~COutFileStream() {
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
}

bool COutFileStream::Create(const wchar_t* path) {
  file_ = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return file_ != INVALID_HANDLE_VALUE;
}

HRESULT COutFileStream::Close(const FILETIME* lastWriteTime) {
  if (file_ == INVALID_HANDLE_VALUE) return S_OK;
  if (lastWriteTime) ::SetFileTime(file_, nullptr, nullptr, lastWriteTime);
  HANDLE file = file_;
  file_ = INVALID_HANDLE_VALUE;
  return ::CloseHandle(file) ? S_OK : LastErrorResult();
}

STDMETHODIMP COutFileStream::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_ISequentialOutStream || iid == IID_IOutStream) {
    *out = static_cast<IOutStream*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) COutFileStream::AddRef() noexcept { return ++refCount_; }

STDMETHODIMP_(ULONG) COutFileStream::Release() noexcept {
  ULONG left = --refCount_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP COutFileStream::Write(const void* data, UInt32 size, UInt32* processedSize) noexcept {
  if (processedSize) *processedSize = 0;
  DWORD written = 0;
  if (!::WriteFile(file_, data, size < kMaxChunk ? size : kMaxChunk, &written, nullptr)) {
    return LastErrorResult();
  }
  bytesWritten_ += written;
  if (processedSize) *processedSize = written;
  return S_OK;
}

STDMETHODIMP COutFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition) noexcept {
  return SeekFile(file_, offset, seekOrigin, newPosition);
}

STDMETHODIMP COutFileStream::SetSize(UInt64 newSize) noexcept {
  UInt64 current = 0;
  if (SeekFile(file_, 0, FILE_CURRENT, &current) != S_OK) return E_FAIL;
  if (SeekFile(file_, static_cast<Int64>(newSize), FILE_BEGIN, nullptr) != S_OK) return E_FAIL;
  if (!::SetEndOfFile(file_)) return E_FAIL;
  if (SeekFile(file_, static_cast<Int64>(current), FILE_BEGIN, nullptr) != S_OK) return E_FAIL;
  return S_OK;
}
