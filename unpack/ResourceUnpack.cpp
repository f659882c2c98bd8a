#include "unpack/ResourceUnpack.h"

#include <shlobj.h>

#include <string.h>

#include "unpack/Cabinet.h"
#include "unpack/ExtractArchive.h"
#include "unpack/ResourceFile.h"
#include "unpack/TempPath.h"

bool LoadResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                       const BYTE** data, LONG* size) {
  *data = nullptr;
  *size = 0;
  HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return false;
  DWORD length = ::SizeofResource(module, found);
  HGLOBAL loaded = ::LoadResource(module, found);
  if (!loaded) return false;
  const void* bytes = ::LockResource(loaded);
  if (!bytes) return false;
  *data = static_cast<const BYTE*>(bytes);
  *size = static_cast<LONG>(length);
  return true;
}

bool CResourceUnpack::LoadFromResource(HMODULE module, const wchar_t* name, const wchar_t* type) {
  module_ = module;
  return LoadResourceBytes(module, name, type, &data_, &size_);
}

bool CResourceUnpack::WriteToFile(const wchar_t* path) {
  ::DeleteFileW(path);
  HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  if (data_ && size_ > 0) {
    ResourceFile source(module_, data_, size_);
    if (source.opened()) {
      ok = CopyFromFile(source, file);
    } else {
      // Through a page-sized buffer: whole blocks, then the remainder.
      BYTE buffer[4096];
      LONG offset = 0;
      while (ok && offset < size_) {
        DWORD chunk = static_cast<DWORD>(size_ - offset < 4096 ? size_ - offset : 4096);
        memcpy(buffer, data_ + offset, chunk);
        DWORD written = 0;
        ok = ::WriteFile(file, buffer, chunk, &written, nullptr) && written == chunk;
        offset += static_cast<LONG>(chunk);
      }
    }
  }
  ::CloseHandle(file);
  return ok;
}

// In bounded chunks, so a payload of any size costs one buffer.
bool CResourceUnpack::CopyFromFile(ResourceFile& source, HANDLE target) const {
  constexpr DWORD kChunk = 64 * 1024;
  BYTE* buffer = static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), 0, kChunk));
  if (!buffer) return false;
  LONG copied = 0;
  DWORD got = 0;
  bool ok = true;
  while (ok && copied < size_ && source.Read(buffer, kChunk, &got)) {
    DWORD written = 0;
    ok = ::WriteFile(target, buffer, got, &written, nullptr) && written == got;
    copied += static_cast<LONG>(got);
  }
  ::HeapFree(::GetProcessHeap(), 0, buffer);
  return ok && copied == size_;
}

bool CResourceUnpack::WriteTempFileAndFolder(std::wstring& file, std::wstring& folder) {
  if (!MakeTempPath(file)) return false;
  ::DeleteFileW(file.c_str());
  if (!WriteToFile(file.c_str())) return false;
  if (!MakeTempPath(folder)) return false;
  return ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS;
}

bool CResourceUnpack::UnpackToTemp(std::wstring& outFolder, bool archive) {
  std::wstring file, folder;
  if (!WriteTempFileAndFolder(file, folder)) return false;
  bool ok = archive ? ExtractArchive(file.c_str(), folder.c_str(), nullptr) >= 0
                    : ExtractCabinet(file.c_str(), folder.c_str());
  if (!ok) return false;
  outFolder = folder;
  ::DeleteFileW(file.c_str());
  return true;
}
