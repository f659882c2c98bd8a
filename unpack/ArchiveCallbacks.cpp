#include "unpack/ArchiveCallbacks.h"

#include <stdio.h>
#include <wchar.h>

#include "unpack/ArchiveStreams.h"
#include "util/FolderOps.h"
#include "util/StandardOutput.h"

namespace {

// A property read that leaves the variant cleared on every path.
class ScopedProperty {
 public:
  ScopedProperty() { PropVariantInit(&value_); }
  ~ScopedProperty() { PropVariantClear(&value_); }
  PROPVARIANT* operator&() { return &value_; }
  const PROPVARIANT& operator*() const { return value_; }

 private:
  PROPVARIANT value_;
};

// A file just created holds the archive attribute and nothing else, so an
// item that asks for exactly that (the high bits of a Unix-made archive carry
// permissions Windows does not take) needs no second trip to the file.
bool FreshFileHasAttributes(UInt32 attributes) {
  constexpr UInt32 kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                               FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  return (attributes & kSettable) == FILE_ATTRIBUTE_ARCHIVE;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A name Windows takes for a device, whatever extension follows ("nul.txt").
bool IsDeviceName(const std::wstring& name) {
  std::wstring base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (_wcsicmp(base.c_str(), device) == 0) return true;
  }
  return base.size() == 4 && (_wcsnicmp(base.c_str(), L"COM", 3) == 0 ||
                              _wcsnicmp(base.c_str(), L"LPT", 3) == 0) &&
         base[3] >= L'1' && base[3] <= L'9';
}

// An item path names a place below the output folder and nothing else: no
// root, drive or device prefix, no stream (':'), no "." or ".." (nor a name
// ending in a dot or space, which Windows trims to one of those), no device
// name, no character Windows refuses in a name.
bool StaysInsideItsFolder(const std::wstring& path) {
  if (path.empty() || IsSeparator(path[0])) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::wstring name = path.substr(start, end - start);
    if (name.empty() || name.back() == L'.' || name.back() == L' ' || IsDeviceName(name)) {
      return false;
    }
    for (wchar_t c : name) {
      if (c < 0x20 || wcschr(L":*?\"<>|", c)) return false;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

// --- CArchiveOpenCallback --------------------------------------------------

STDMETHODIMP CArchiveOpenCallback::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IArchiveOpenCallback) {
    *out = static_cast<IArchiveOpenCallback*>(this);
  } else if (iid == IID_ICryptoGetTextPassword) {
    *out = static_cast<ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CArchiveOpenCallback::AddRef() noexcept { return ++refCount_; }

STDMETHODIMP_(ULONG) CArchiveOpenCallback::Release() noexcept {
  ULONG left = --refCount_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CArchiveOpenCallback::SetTotal(const UInt64*, const UInt64*) noexcept { return S_OK; }

STDMETHODIMP CArchiveOpenCallback::SetCompleted(const UInt64*, const UInt64*) noexcept {
  return S_OK;
}

STDMETHODIMP CArchiveOpenCallback::CryptoGetTextPassword(BSTR*) noexcept { return E_ABORT; }

// --- CArchiveExtractCallback -----------------------------------------------

CArchiveExtractCallback::~CArchiveExtractCallback() {
  ReleaseOutputStream();
  if (archive_) archive_->Release();
}

void CArchiveExtractCallback::Init(IInArchive* archive, const wchar_t* outputFolder,
                                   IExtractCallback* sink) {
  if (archive) archive->AddRef();
  if (archive_) archive_->Release();
  archive_ = archive;
  outputFolder_ = outputFolder;
  if (outputFolder_.empty() || outputFolder_.back() != L'\\') outputFolder_ += L'\\';
  sink_ = sink;
  passwordDefined_ = false;
}

STDMETHODIMP CArchiveExtractCallback::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IArchiveExtractCallback || iid == IID_IProgress) {
    *out = static_cast<IArchiveExtractCallback*>(this);
  } else if (iid == IID_ICryptoGetTextPassword) {
    *out = static_cast<ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CArchiveExtractCallback::AddRef() noexcept { return ++refCount_; }

STDMETHODIMP_(ULONG) CArchiveExtractCallback::Release() noexcept {
  ULONG left = --refCount_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CArchiveExtractCallback::SetTotal(UInt64) noexcept { return S_OK; }

STDMETHODIMP CArchiveExtractCallback::SetCompleted(const UInt64*) noexcept { return S_OK; }

STDMETHODIMP CArchiveExtractCallback::CryptoGetTextPassword(BSTR*) noexcept { return E_ABORT; }

void CArchiveExtractCallback::ReleaseOutputStream() {
  if (outputStream_) {
    outputStream_->Release();
    outputStream_ = nullptr;
  }
}

UInt32 CArchiveExtractCallback::ItemCount() {
  UInt32 count = 0;
  if (archive_) archive_->GetNumberOfItems(&count);
  return count;
}

STDMETHODIMP CArchiveExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream,
                                                Int32 askExtractMode) noexcept {
  *outStream = nullptr;
  ReleaseOutputStream();
  index_ = index;

  {
    ScopedProperty path;
    HRESULT hr = archive_->GetProperty(index, kpidPath, &path);
    if (hr != S_OK) return hr;
    if ((*path).vt == VT_EMPTY) {
      relativePath_ = L"[Content]";
    } else if ((*path).vt == VT_BSTR) {
      relativePath_ = (*path).bstrVal ? (*path).bstrVal : L"";
    } else {
      return E_FAIL;
    }
  }

  // Refused before anything is made for it: an archive that tries to write
  // elsewhere is a damaged one.
  if (!StaysInsideItsFolder(relativePath_)) {
    damaged_ = true;
    return E_ABORT;
  }

  if (askExtractMode != NArchive::NExtract::NAskMode::kExtract) return S_OK;

  {
    ScopedProperty attributes;
    HRESULT hr = archive_->GetProperty(index, kpidAttrib, &attributes);
    if (hr != S_OK) return hr;
    if ((*attributes).vt == VT_EMPTY) {
      attributes_ = 0;
      attributesDefined_ = false;
    } else if ((*attributes).vt == VT_UI4) {
      attributes_ = (*attributes).ulVal;
      attributesDefined_ = true;
    } else {
      return E_FAIL;
    }
  }

  UInt32 count = ItemCount();

  {
    ScopedProperty isDirectory;
    HRESULT hr = archive_->GetProperty(index, kpidIsDir, &isDirectory);
    if (hr != S_OK) return hr;
    if ((*isDirectory).vt == VT_BOOL) {
      isDirectory_ = (*isDirectory).boolVal != VARIANT_FALSE;
    } else if ((*isDirectory).vt == VT_EMPTY) {
      isDirectory_ = false;
    } else {
      return E_FAIL;
    }
  }

  if (sink_) sink_->OnItemStart(index, count, relativePath_.c_str(), isDirectory_);

  {
    ScopedProperty modified;
    HRESULT hr = archive_->GetProperty(index, kpidMTime, &modified);
    if (hr != S_OK) return hr;
    if ((*modified).vt == VT_FILETIME) {
      modificationTime_ = (*modified).filetime;
      modificationTimeDefined_ = true;
    } else if ((*modified).vt == VT_EMPTY) {
      modificationTimeDefined_ = false;
    } else {
      return E_FAIL;
    }
  }

  // Staging folders are made the plain way: nobody watches them, and the
  // shell's variant would announce each new one to the shell at the price of
  // a parse of every level of the path.
  // Items of one folder mostly follow each other: it is made (or found) once
  // for the run of them.
  size_t lastSlash = relativePath_.rfind(L'\\');
  if (lastSlash != std::wstring::npos) {
    std::wstring folder = outputFolder_ + relativePath_.substr(0, lastSlash);
    if (folder != madeFolder_) {
      CreateFolderTree(folder.c_str());
      madeFolder_ = folder;
    }
  }
  diskPath_ = outputFolder_ + relativePath_;

  if (isDirectory_) {
    CreateFolderTree(diskPath_.c_str());
    return S_OK;
  }

  if (::GetFileAttributesW(diskPath_.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(diskPath_.c_str(), 0);
    if (!::DeleteFileW(diskPath_.c_str())) return E_ABORT;
  }
  COutFileStream* stream = new COutFileStream;
  stream->AddRef();
  if (!stream->Create(diskPath_.c_str())) {
    stream->Release();
    return E_ABORT;
  }
  outputStream_ = stream;
  stream->AddRef();
  *outStream = stream;
  return S_OK;
}

STDMETHODIMP CArchiveExtractCallback::PrepareOperation(Int32 askExtractMode) noexcept {
  extractMode_ = askExtractMode == NArchive::NExtract::NAskMode::kExtract;
  WriteStandardOutputLine(L"Extracting file: %ls\n", relativePath_.c_str());
  return S_OK;
}

STDMETHODIMP CArchiveExtractCallback::SetOperationResult(Int32 operationResult) noexcept {
  // Only a file item gets an output stream, and GetStream created its file afresh.
  const bool freshFile = outputStream_ != nullptr;
  if (outputStream_) {
    HRESULT closed = outputStream_->Close(modificationTimeDefined_ ? &modificationTime_ : nullptr);
    if (closed != S_OK) return closed;
  }
  ReleaseOutputStream();
  // A damaged item never reaches the sink, so it can never be moved over an
  // installed file; the whole extraction fails with it.
  if (operationResult != NArchive::NExtract::NOperationResult::kOK) {
    damaged_ = true;
    return E_ABORT;
  }
  if (extractMode_ && attributesDefined_ && !(freshFile && FreshFileHasAttributes(attributes_))) {
    ::SetFileAttributesW(diskPath_.c_str(), attributes_);
  }
  UInt32 count = ItemCount();
  if (sink_) sink_->OnItemDone(index_, count, relativePath_.c_str(), isDirectory_);
  return S_OK;
}
