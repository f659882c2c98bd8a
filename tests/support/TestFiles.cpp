#include "support/TestFiles.h"

#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>

namespace {

std::wstring NewFolderName() {
  GUID guid = {};
  ::CoCreateGuid(&guid);
  wchar_t text[64] = {};
  ::StringFromGUID2(guid, text, 64);
  return L"kt" + std::wstring(text).substr(1, 8);
}

void ReadTreeInto(const std::wstring& root, const std::wstring& relative, std::vector<TreeEntry>* out) {
  for (const std::wstring& name : ListFolder(relative.empty() ? root : root + L"\\" + relative)) {
    std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    TreeEntry entry;
    entry.isFolder = IsFolder(root + L"\\" + path);
    entry.path = entry.isFolder ? path + L"\\" : path;
    if (!entry.isFolder) ReadFileBytes(root + L"\\" + path, &entry.content);
    out->push_back(entry);
    if (entry.isFolder) ReadTreeInto(root, path, out);
  }
}

}  // namespace

ScopedTempDir::ScopedTempDir(const std::wstring& parent) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  path_ = (parent.empty() ? std::wstring(temp) : parent + L"\\") + NewFolderName();
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScopedTempDir::~ScopedTempDir() { RemoveTreeForcibly(path_); }

std::string ToUtf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
  return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                    static_cast<int>(text.size())));
  return text;
}

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
  // Shares everything: other processes may still write what is read here.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes->append(buffer, got);
  ::CloseHandle(file);
  return true;
}

std::string FileText(const std::wstring& path) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) ? bytes : "<missing>";
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTreeForcibly(const std::wstring& path) {
  std::vector<TreeEntry> entries = ReadTree(path);
  // Deepest first: sorted paths put a folder before what it holds.
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    std::wstring child = path + L"\\" + entry->path;
    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (entry->isFolder) ::RemoveDirectoryW(child.c_str());
    else ::DeleteFileW(child.c_str());
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(path.c_str());
}

bool CopyUnsignedProgram(const std::wstring& path) {
  const std::wstring probe = std::wstring(KELVO_TRUST_DATA_WIN) + L"\\planted\\delay_load_probe.exe";
  return ::CopyFileW(probe.c_str(), path.c_str(), FALSE) != FALSE;
}

std::vector<TreeEntry> ReadTree(const std::wstring& root) {
  std::vector<TreeEntry> entries;
  ReadTreeInto(root, L"", &entries);
  std::sort(entries.begin(), entries.end(),
            [](const TreeEntry& a, const TreeEntry& b) { return a.path < b.path; });
  return entries;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
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

PinnedFile::PinnedFile(const std::wstring& path)
    : handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr)) {}

PinnedFile::~PinnedFile() {
  if (ok()) ::CloseHandle(handle_);
}

bool IsScheduledForRenameAtRestart(const std::wstring& source, const std::wstring& target) {
  // Pairs of NUL-terminated names: \??\source, then !\??\target or "" for a deletion.
  wchar_t data[32768] = {};
  DWORD size = sizeof(data) - sizeof(wchar_t);
  if (::SHGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                    L"PendingFileRenameOperations", nullptr, data, &size) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<std::wstring> names;
  for (const wchar_t* p = data; p < data + size / sizeof(wchar_t); p += wcslen(p) + 1) {
    std::wstring name = p;
    if (!name.empty() && name[0] == L'!') name.erase(0, 1);
    names.push_back(name.rfind(L"\\??\\", 0) == 0 ? name.substr(4) : name);
  }
  for (size_t i = 0; i + 1 < names.size(); i += 2) {
    if (!lstrcmpiW(names[i].c_str(), source.c_str()) && !lstrcmpiW(names[i + 1].c_str(), target.c_str())) return true;
  }
  return false;
}

PendingRenamesLock::PendingRenamesLock()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"Local\\KelvoTestsPendingRenames")) {
  if (mutex_) ::WaitForSingleObject(mutex_, 30000);
}

PendingRenamesLock::~PendingRenamesLock() {
  if (!mutex_) return;
  ::ReleaseMutex(mutex_);
  ::CloseHandle(mutex_);
}
