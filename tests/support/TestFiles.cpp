#include "support/TestFiles.h"

#include <objbase.h>
#include <shlwapi.h>

#include <vector>

std::wstring NewGuidText() {
  GUID guid = {};
  ::CoCreateGuid(&guid);
  wchar_t text[64] = {};
  ::StringFromGUID2(guid, text, 64);
  return text;
}

ScopedTempDir::ScopedTempDir() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"kt" + NewGuidText().substr(1, 8);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScopedTempDir::ScopedTempDir(const std::wstring& parent) {
  path_ = parent + L"\\kt" + NewGuidText().substr(1, 8);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScopedTempDir::~ScopedTempDir() { RemoveTreeForcibly(path_); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
  // Shares everything: readers here look at files other processes still write.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    bytes->append(buffer, got);
  }
  ::CloseHandle(file);
  return true;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
  return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int units = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  std::wstring text(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], units);
  return text;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTreeForcibly(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTreeForcibly(child);
      } else {
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(path.c_str());
}

bool CopyOwnProgram(const std::wstring& path) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return ::CopyFileW(self, path.c_str(), FALSE) != FALSE;
}

HeldImage::HeldImage(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_EXECUTE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  mapping_ = ::CreateFileMappingW(file, nullptr, PAGE_EXECUTE_READ | SEC_IMAGE, 0, 0, nullptr);
  ::CloseHandle(file);
  if (mapping_) view_ = ::MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
}

HeldImage::~HeldImage() {
  if (view_) ::UnmapViewOfFile(view_);
  if (mapping_) ::CloseHandle(mapping_);
}

std::wstring PendingRenameOperationsText() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                      0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::wstring();
  }
  DWORD size = 0;
  DWORD type = 0;
  std::wstring text;
  if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
          ERROR_SUCCESS &&
      size > 0) {
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1);
    if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
      text.assign(data.data(), size / sizeof(wchar_t));
    }
  }
  ::RegCloseKey(key);
  return text;
}

namespace {

std::wstring WithoutNtPrefix(std::wstring path) {
  // A rename that may replace its target is marked with a leading "!".
  if (!path.empty() && path[0] == L'!') path = path.substr(1);
  if (path.rfind(L"\\??\\", 0) == 0) path = path.substr(4);
  return path;
}

}  // namespace

bool IsScheduledForRenameAtRestart(const std::wstring& source, const std::wstring& target) {
  // The value is a list of NUL-terminated pairs: "\??\source", then the target
  // ("" for a deletion).
  std::wstring text = PendingRenameOperationsText();
  size_t position = 0;
  while (position < text.size()) {
    size_t end = text.find(L'\0', position);
    if (end == std::wstring::npos) end = text.size();
    std::wstring from = WithoutNtPrefix(text.substr(position, end - position));
    position = end + 1;
    size_t targetEnd = text.find(L'\0', position);
    if (targetEnd == std::wstring::npos) targetEnd = text.size();
    std::wstring to = WithoutNtPrefix(text.substr(position, targetEnd - position));
    position = targetEnd + 1;
    if (lstrcmpiW(from.c_str(), source.c_str()) == 0 &&
        lstrcmpiW(to.c_str(), target.c_str()) == 0) {
      return true;
    }
  }
  return false;
}

bool IsScheduledForDeletionAtRestart(const std::wstring& path) {
  return IsScheduledForRenameAtRestart(path, L"");
}

PendingRenamesLock::PendingRenamesLock()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"Local\\KelvoTestsPendingRenames")) {
  if (mutex_) ::WaitForSingleObject(mutex_, 30000);
}

PendingRenamesLock::~PendingRenamesLock() {
  if (mutex_) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}
