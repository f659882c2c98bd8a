#include "support/ProductCopies.h"

#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "install/ProcessList.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/TestSigning.h"

std::wstring StandInPath(const wchar_t* name) {
  return BuiltProgram(L"product\\") + name;
}

namespace {

// Builds a VS_VERSIONINFO tree: each node is wLength, wValueLength, wType,
// a NUL-terminated key, padding to 4 bytes, the value, padding, children.
class VersionWriter {
 public:
  size_t Open(const wchar_t* key, WORD type) {
    Align();
    size_t start = bytes_.size();
    PutWord(0);
    PutWord(0);
    PutWord(type);
    do PutWord(*key); while (*key++);
    Align();
    return start;
  }
  void Value(size_t node, const void* data, size_t size, WORD valueLength) {
    bytes_.append(static_cast<const char*>(data), size);
    SetWord(node + 2, valueLength);
    Align();
  }
  void Close(size_t node) { SetWord(node, static_cast<WORD>(bytes_.size() - node)); }
  void String(const wchar_t* key, const std::wstring& text) {
    size_t node = Open(key, 1);
    Value(node, text.c_str(), (text.size() + 1) * sizeof(wchar_t),
          static_cast<WORD>(text.size() + 1));
    Close(node);
  }
  const std::string& bytes() const { return bytes_; }

 private:
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back('\0');
  }
  void PutWord(WORD word) { bytes_.append(reinterpret_cast<const char*>(&word), 2); }
  void SetWord(size_t at, WORD word) { memcpy(&bytes_[at], &word, 2); }
  std::string bytes_;
};

bool ParseVersion(const std::wstring& text, DWORD* high, DWORD* low) {
  unsigned a, b, c, d;
  wchar_t extra;
  if (swscanf(text.c_str(), L"%u.%u.%u.%u%lc", &a, &b, &c, &d, &extra) != 4) return false;
  if (a > 0xFFFF || b > 0xFFFF || c > 0xFFFF || d > 0xFFFF) return false;
  *high = MAKELONG(b, a);
  *low = MAKELONG(d, c);
  return true;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
  return TRUE;
}

std::wstring QueryString(const std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* text = nullptr;
  UINT length = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  if (::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) &&
      text) {
    return text;
  }
  return std::wstring();
}

}  // namespace

bool StampFileVersion(const std::wstring& path, const std::wstring& version) {
  DWORD high = 0, low = 0;
  if (!ParseVersion(version, &high, &low)) return false;

  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> old(size);
  VS_FIXEDFILEINFO* oldFixed = nullptr;
  UINT fixedSize = 0;
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, old.data()) ||
      !::VerQueryValueW(old.data(), L"\\", reinterpret_cast<void**>(&oldFixed), &fixedSize) ||
      !oldFixed || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }

  // The language the existing resource is filed under, so it is replaced
  // rather than joined by a second one.
  std::vector<WORD> languages;
  HMODULE image = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return false;
  ::EnumResourceLanguagesW(image, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
  ::FreeLibrary(image);
  if (languages.empty()) return false;

  VS_FIXEDFILEINFO fixed = *oldFixed;
  fixed.dwFileVersionMS = fixed.dwProductVersionMS = high;
  fixed.dwFileVersionLS = fixed.dwProductVersionLS = low;

  VersionWriter out;
  size_t root = out.Open(L"VS_VERSION_INFO", 0);
  out.Value(root, &fixed, sizeof(fixed), sizeof(fixed));
  size_t stringInfo = out.Open(L"StringFileInfo", 1);
  size_t table = out.Open(L"080404b0", 1);
  for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"InternalName",
                              L"OriginalFilename", L"ProductName"}) {
    std::wstring text = QueryString(old, name);
    if (!text.empty()) out.String(name, text);
  }
  out.String(L"FileVersion", version);
  out.String(L"ProductVersion", version);
  out.Close(table);
  out.Close(stringInfo);
  size_t varInfo = out.Open(L"VarFileInfo", 1);
  size_t translation = out.Open(L"Translation", 0);
  WORD codes[2] = {0x0804, 1200};
  out.Value(translation, codes, sizeof(codes), sizeof(codes));
  out.Close(translation);
  out.Close(varInfo);
  out.Close(root);

  HANDLE update = ::BeginUpdateResourceW(path.c_str(), FALSE);
  if (!update) return false;
  BOOL ok = TRUE;
  for (size_t i = 0; i < languages.size() && ok; ++i) {
    // One version resource is enough: the first language gets the new one,
    // any others go.
    ok = ::UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), languages[i],
                           i == 0 ? const_cast<char*>(out.bytes().data()) : nullptr,
                           i == 0 ? static_cast<DWORD>(out.bytes().size()) : 0);
  }
  // Rewriting the resources breaks the maker's signature; an installed copy
  // of another version is still the maker's file.
  bool wasSigned = HasSignatureBlock(path);
  if (!::EndUpdateResourceW(update, !ok) || !ok) return false;
  return !wasSigned || SignForTests(path);
}

bool MakeInstalledCopy(const std::wstring& folder, const std::wstring& version,
                       std::initializer_list<const wchar_t*> files) {
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  for (const wchar_t* name : files) {
    std::wstring copy = folder + L"\\" + name;
    if (!::CopyFileW(StandInPath(name).c_str(), copy.c_str(), FALSE)) return false;
    if (!StampFileVersion(copy, version)) return false;
  }
  return true;
}

std::wstring StandInDataFolder() {
  // The same call the stand-ins make, so both sides agree on the folder.
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  std::wstring folder = std::wstring(path) + L"\\KelvoStandIn";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

namespace {

std::wstring LaunchLogPath() { return StandInDataFolder() + L"\\launch.log"; }

}  // namespace

std::vector<std::wstring> ReadLaunchLog() {
  std::vector<std::wstring> lines;
  std::string bytes;
  if (!ReadFileBytes(LaunchLogPath(), &bytes)) return lines;
  // Only whole lines: a stand-in may be writing its line right now.
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(FromUtf8(bytes.substr(start, end - start)));
  }
  return lines;
}

std::vector<std::wstring> LaunchLogLinesWith(const std::wstring& token) {
  std::vector<std::wstring> found;
  for (const std::wstring& line : ReadLaunchLog()) {
    if (line.find(token) != std::wstring::npos) found.push_back(line);
  }
  return found;
}

std::wstring WaitForLaunchLogLine(const std::wstring& token, DWORD timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<std::wstring> found = LaunchLogLinesWith(token);
    if (!found.empty()) return found.front();
    if (::GetTickCount() - start >= timeoutMs) return std::wstring();
    ::Sleep(50);
  }
}

void ClearLaunchLog() {
  // Truncated rather than deleted: a stand-in may hold it open right now.
  HANDLE file = ::CreateFileW(LaunchLogPath().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

ScopedStandInFlag::ScopedStandInFlag(const wchar_t* name, const std::wstring& onlyFor)
    : path_(StandInDataFolder() + L"\\" + name) {
  mutex_ = ::CreateMutexW(nullptr, FALSE, (std::wstring(L"KelvoStandInFlag.") + name).c_str());
  if (mutex_) ::WaitForSingleObject(mutex_, 120000);
  std::string text = ToUtf8(onlyFor);
  HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    if (!text.empty()) ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                                   nullptr);
    ::CloseHandle(file);
  }
}

ScopedStandInFlag::~ScopedStandInFlag() {
  ::DeleteFileW(path_.c_str());
  if (mutex_) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}

ProductProcessesTurn::ProductProcessesTurn()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"Local\\KelvoTestsProductProcesses")) {
  // A holder that died leaves the mutex abandoned, which still hands it over.
  if (mutex_) ::WaitForSingleObject(mutex_, 110000);
}

ProductProcessesTurn::~ProductProcessesTurn() {
  if (mutex_) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}

void EndProductProcesses() {
  TerminateProcessesByName(L"KelvoCloudEnterpriseSync.exe", 5000);
  TerminateProcessesByName(L"KelvoCloudIntro.exe", 5000);
}

ShellDllRegistrationTurn::ShellDllRegistrationTurn()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"Local\\KelvoTestsShellDlls")) {
  if (mutex_) ::WaitForSingleObject(mutex_, 110000);
}

ShellDllRegistrationTurn::~ShellDllRegistrationTurn() {
  if (mutex_) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}
