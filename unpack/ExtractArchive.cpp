#include "unpack/ExtractArchive.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "unpack/SevenZipInterfaces.h"
#include "unpack/ArchiveCallbacks.h"
#include "unpack/ArchiveLibrary.h"
#include "unpack/ArchiveStreams.h"
#include "unpack/ExtractCallback.h"

namespace {

// {23170F69-40C1-278A-1000-000110070000}: the library's 7z format handler.
const GUID kSevenZipHandler = {0x23170F69, 0x40C1, 0x278A,
                               {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

typedef UINT32(WINAPI* CreateObjectFunc)(const GUID* classId, const GUID* interfaceId,
                                         void** object);

}  // namespace

int ExtractArchive(const wchar_t* archivePath, const wchar_t* outputFolder, IExtractCallback* sink) {
  if (!::PathFileExistsW(outputFolder)) ::SHCreateDirectoryExW(nullptr, outputFolder, nullptr);

  HMODULE library = ArchiveLibraryHandle();
  if (!library) return -1;
  auto createObject =
      reinterpret_cast<CreateObjectFunc>(reinterpret_cast<void*>(::GetProcAddress(library, "CreateObject")));
  if (!createObject) return -1;

  IInArchive* archive = nullptr;
  if (createObject(&kSevenZipHandler, &IID_IInArchive, reinterpret_cast<void**>(&archive)) != 0 ||
      !archive) {
    return -1;
  }

  CInFileStream* stream = new CInFileStream;
  stream->AddRef();
  if (!stream->Open(archivePath)) {
    stream->Release();
    archive->Release();
    return -1;
  }

  CArchiveOpenCallback* openCallback = new CArchiveOpenCallback;
  openCallback->AddRef();
  if (archive->Open(stream, nullptr, openCallback) != S_OK) {
    openCallback->Release();
    stream->Release();
    archive->Release();
    return -1;
  }

  CArchiveExtractCallback* extractCallback = new CArchiveExtractCallback;
  extractCallback->AddRef();
  extractCallback->Init(archive, outputFolder, sink);

  if (sink) sink->OnStart(archivePath, outputFolder);
  HRESULT result = archive->Extract(nullptr, 0xFFFFFFFF, 0, extractCallback);
  // The library may carry on past a damaged item and still report success.
  const bool succeeded = result == S_OK && !extractCallback->damaged();
  if (sink) sink->OnFinish(succeeded);

  extractCallback->Release();
  openCallback->Release();
  stream->Release();
  archive->Release();
  return succeeded ? 0 : -1;
}
