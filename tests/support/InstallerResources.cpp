#include "support/InstallerResources.h"

#include <algorithm>

#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "unpack/ResourceUnpack.h"

InstallerModule::InstallerModule(const std::wstring& path)
    : module_(::LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

InstallerModule::InstallerModule() : InstallerModule(BuiltProgram(L"KelvoSetup.exe")) {}

InstallerModule::~InstallerModule() {
  if (module_) ::FreeLibrary(module_);
}

std::wstring CopyInstallerWithResource(const std::wstring& folder, const wchar_t* name,
                                       const wchar_t* type, const std::string& bytes,
                                       bool remove) {
  std::wstring copy = folder + L"\\KelvoSetupCopy.exe";
  if (!::CopyFileW(BuiltProgram(L"KelvoSetup.exe").c_str(), copy.c_str(), FALSE)) return L"";
  HANDLE update = ::BeginUpdateResourceW(copy.c_str(), FALSE);
  if (!update) return L"";
  BOOL ok = ::UpdateResourceW(update, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              remove ? nullptr : const_cast<char*>(bytes.data()),
                              remove ? 0 : static_cast<DWORD>(bytes.size()));
  if (!::EndUpdateResourceW(update, !ok)) return L"";
  return ok ? copy : L"";
}

std::string InstallerResourceBytes(const wchar_t* name, const wchar_t* type) {
  InstallerModule module;
  const BYTE* data = nullptr;
  LONG size = 0;
  if (!LoadResourceBytes(module.get(), name, type, &data, &size)) return std::string();
  return std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
}

std::wstring PayloadSourceFolder() { return std::wstring(KELVO_BINARY_DIR_WIN) + L"\\payload"; }

namespace {

bool ReadVariable(const wchar_t* name, std::wstring* value) {
  wchar_t buffer[1024] = {};
  DWORD got = ::GetEnvironmentVariableW(name, buffer, 1024);
  if (got == 0 || got >= 1024) return false;
  *value = buffer;
  return true;
}

void ReadTreeInto(const std::wstring& root, const std::wstring& relative, bool withContent,
                  std::vector<TreeEntry>* out) {
  WIN32_FIND_DATAW found;
  std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    TreeEntry entry;
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.path = entry.isFolder ? path + L"\\" : path;
    if (!entry.isFolder && withContent) ReadFileBytes(root + L"\\" + path, &entry.content);
    out->push_back(entry);
    if (entry.isFolder) ReadTreeInto(root, path, withContent, out);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

}  // namespace

ScopedTempPathOverride::ScopedTempPathOverride(const std::wstring& folder) {
  hadTmp_ = ReadVariable(L"TMP", &oldTmp_);
  hadTemp_ = ReadVariable(L"TEMP", &oldTemp_);
  ::SetEnvironmentVariableW(L"TMP", folder.c_str());
  ::SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

ScopedTempPathOverride::~ScopedTempPathOverride() {
  ::SetEnvironmentVariableW(L"TMP", hadTmp_ ? oldTmp_.c_str() : nullptr);
  ::SetEnvironmentVariableW(L"TEMP", hadTemp_ ? oldTemp_.c_str() : nullptr);
}

std::vector<TreeEntry> ReadTree(const std::wstring& root, bool withContent) {
  std::vector<TreeEntry> entries;
  ReadTreeInto(root, L"", withContent, &entries);
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

void RecordingObserver::Record(UINT message, WPARAM wParam) {
  std::lock_guard<std::mutex> guard(mutex_);
  events_.push_back({message, wParam});
  changed_.notify_all();
}

int RecordingObserver::OnExtractDone(BOOL success) {
  Record(success ? kMsgExtractDone : kMsgExtractFailed, 0);
  return 0;
}
int RecordingObserver::OnProgress(int percent) {
  Record(kMsgProgress, static_cast<WPARAM>(percent));
  return 0;
}
int RecordingObserver::OnWaitForUi(HANDLE event) {
  Record(kMsgWaitForUi, 0);
  if (event) ::SetEvent(event);
  return 0;
}
int RecordingObserver::OnShellExtensionsRegistered(BOOL result) {
  Record(kMsgShellExtensionsRegistered, static_cast<WPARAM>(result));
  return 0;
}
int RecordingObserver::OnProductStopped() {
  Record(kMsgProductStopped, 0);
  return 0;
}
int RecordingObserver::OnRecordsWritten() {
  Record(kMsgRecordsWritten, 0);
  return 0;
}
int RecordingObserver::OnInstallDone() {
  Record(kMsgInstallDone, 0);
  return 0;
}

bool RecordingObserver::WaitFor(UINT message, int count, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return std::count_if(events_.begin(), events_.end(),
                         [&](const Event& e) { return e.message == message; }) >= count;
  });
}

std::vector<RecordingObserver::Event> RecordingObserver::events() {
  std::lock_guard<std::mutex> guard(mutex_);
  return events_;
}
