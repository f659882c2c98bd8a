#include "unpack/ResourceFile.h"

// The PSAPI export itself: its kernel32 alias (K32*) starts with Windows 7.
#define PSAPI_VERSION 1
#include <psapi.h>
#include <string.h>

#include <string>

namespace {

constexpr DWORD kCompareBytes = 4096;

// Where data lies in the module's file: a module loaded as a plain data file
// is the file byte for byte; any other is laid out as an image, section by
// section. False when data is not inside one section's file bytes.
bool FileOffsetOf(HMODULE module, const BYTE* data, LONG size, ULONGLONG* offset) {
  const ULONG_PTR handle = reinterpret_cast<ULONG_PTR>(module);
  const ULONG_PTR base = handle & ~static_cast<ULONG_PTR>(3);
  const ULONG_PTR rva = reinterpret_cast<ULONG_PTR>(data) - base;
  if ((handle & 3) == 1) {
    *offset = rva;
    return true;
  }
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (rva < section->VirtualAddress) continue;
    const ULONG_PTR into = rva - section->VirtualAddress;
    if (into + static_cast<ULONG_PTR>(size) > section->SizeOfRawData) continue;
    *offset = static_cast<ULONGLONG>(section->PointerToRawData) + into;
    return true;
  }
  return false;
}

// The file behind the mapping at address, by the name the system has for it
// now (it follows a rename): a device path, which opens below GLOBALROOT, or
// on Wine a DOS path behind "\??\".
HANDLE OpenMappedFile(const void* address) {
  wchar_t name[1024] = {};
  DWORD length = ::GetMappedFileNameW(::GetCurrentProcess(), const_cast<void*>(address), name, 1024);
  if (length == 0 || length >= 1024) return INVALID_HANDLE_VALUE;
  std::wstring path = wcsncmp(name, L"\\??\\", 4) == 0 ? std::wstring(name + 4)
                                                       : std::wstring(L"\\\\?\\GLOBALROOT") + name;
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool ReadAt(HANDLE file, ULONGLONG offset, BYTE* buffer, DWORD size) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ::ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

}  // namespace

ResourceFile::ResourceFile(HMODULE module, const BYTE* data, LONG size) {
  if (!data || size <= 0) return;
  if (!module) module = ::GetModuleHandleW(nullptr);
  ULONGLONG offset = 0;
  if (!FileOffsetOf(module, data, size, &offset)) return;
  file_ = OpenMappedFile(data);
  next_ = offset;
  end_ = offset + static_cast<ULONGLONG>(size);
  if (opened() && !LinedUp(data, size)) {
    ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }
}

ResourceFile::~ResourceFile() {
  if (opened()) ::CloseHandle(file_);
}

// The first and last bytes in the file must be the mapping's: the file is
// the one the module came from and the offset is right. Two pages of the
// mapping are touched for it, not all of them.
bool ResourceFile::LinedUp(const BYTE* data, LONG size) {
  LARGE_INTEGER fileSize = {};
  if (!::GetFileSizeEx(file_, &fileSize) ||
      static_cast<ULONGLONG>(fileSize.QuadPart) < end_) {
    return false;
  }
  BYTE head[kCompareBytes];
  const DWORD length = static_cast<DWORD>(size) < kCompareBytes ? static_cast<DWORD>(size) : kCompareBytes;
  if (!ReadAt(file_, next_, head, length) || memcmp(head, data, length) != 0) return false;
  if (!ReadAt(file_, end_ - length, head, length) || memcmp(head, data + size - length, length) != 0) {
    return false;
  }
  LARGE_INTEGER start;
  start.QuadPart = static_cast<LONGLONG>(next_);
  return ::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN) != FALSE;
}

bool ResourceFile::Read(BYTE* buffer, DWORD size, DWORD* got) {
  *got = 0;
  if (!opened() || next_ >= end_) return false;
  if (end_ - next_ < size) size = static_cast<DWORD>(end_ - next_);
  if (!::ReadFile(file_, buffer, size, got, nullptr) || *got == 0) return false;
  next_ += *got;
  return true;
}
