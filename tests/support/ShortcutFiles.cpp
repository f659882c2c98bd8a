#include "support/ShortcutFiles.h"

#include <objbase.h>
#include <shlobj.h>

namespace {

// COM for the length of one call; a thread that already has it keeps it.
class ScopedCom {
 public:
  ScopedCom() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ScopedCom() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;
};

IShellLinkW* NewShellLink() {
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
    return nullptr;
  }
  return link;
}

}  // namespace

ShortcutContents ReadShortcut(const std::wstring& linkPath) {
  ScopedCom com;
  ShortcutContents contents;
  IShellLinkW* link = NewShellLink();
  if (!link) return contents;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (::GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES &&
        SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ))) {
      wchar_t text[INFOTIPSIZE] = {};
      contents.read = true;
      if (link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK) contents.target = text;
      text[0] = L'\0';
      if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) contents.arguments = text;
      text[0] = L'\0';
      if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) contents.workingFolder = text;
      text[0] = L'\0';
      if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &contents.iconIndex))) {
        contents.iconPath = text;
      }
      text[0] = L'\0';
      if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) contents.description = text;
    }
    file->Release();
  }
  link->Release();
  return contents;
}

bool WriteShortcut(const std::wstring& linkPath, const std::wstring& target,
                   const std::wstring& description) {
  ScopedCom com;
  IShellLinkW* link = NewShellLink();
  if (!link) return false;
  std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(folder.c_str());
  if (!description.empty()) link->SetDescription(description.c_str());
  bool saved = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    saved = SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    file->Release();
  }
  link->Release();
  return saved;
}

::testing::AssertionResult IsInstallerShortcutTo(const std::wstring& linkPath,
                                                 const std::wstring& target) {
  ShortcutContents link = ReadShortcut(linkPath);
  if (!link.read) return ::testing::AssertionFailure() << "no shortcut at " << linkPath;
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  if (lstrcmpiW(link.target.c_str(), target.c_str()) != 0) {
    return ::testing::AssertionFailure() << linkPath << " points at " << link.target;
  }
  if (lstrcmpiW(link.workingFolder.c_str(), folder.c_str()) != 0) {
    return ::testing::AssertionFailure() << linkPath << " starts in " << link.workingFolder;
  }
  if (!link.arguments.empty() || !link.iconPath.empty() || !link.description.empty()) {
    return ::testing::AssertionFailure()
           << linkPath << " carries more: arguments \"" << link.arguments << "\", icon \""
           << link.iconPath << "\", description \"" << link.description << "\"";
  }
  return ::testing::AssertionSuccess();
}
