#include "support/ShortcutFiles.h"

#include <objbase.h>
#include <shlobj.h>

#include "support/InstalledMachine.h"
#include "support/TestFiles.h"
#include "util/ComRef.h"

namespace {

struct Link {
  bool read = false;
  std::wstring target, arguments, folder, icon, note;
};

// A shell link object for the length of one call, with COM for it.
class LinkObject {
 public:
  LinkObject() {
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link_.outVoid());
    if (link_) link_->QueryInterface(IID_IPersistFile, file_.outVoid());
  }
  IShellLinkW* link() const { return file_ ? link_.p : nullptr; }
  IPersistFile* file() const { return file_.p; }

 private:
  struct Com {  // first in, so last out: after both objects are released
    bool on = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ~Com() { if (on) ::CoUninitialize(); }
  } com_;
  ComRef<IShellLinkW> link_;
  ComRef<IPersistFile> file_;
};

Link ReadLink(const std::wstring& path) {
  Link contents;
  LinkObject shell;
  if (!shell.link() || !FileExists(path) || FAILED(shell.file()->Load(path.c_str(), STGM_READ))) {
    return contents;
  }
  contents.read = true;
  wchar_t text[INFOTIPSIZE] = {};
  int index = 0;
  if (shell.link()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK) contents.target = text;
  if (SUCCEEDED(shell.link()->GetArguments(text, INFOTIPSIZE))) contents.arguments = text;
  if (SUCCEEDED(shell.link()->GetWorkingDirectory(text, MAX_PATH))) contents.folder = text;
  if (SUCCEEDED(shell.link()->GetIconLocation(text, MAX_PATH, &index))) contents.icon = text;
  if (SUCCEEDED(shell.link()->GetDescription(text, INFOTIPSIZE))) contents.note = text;
  return contents;
}

}  // namespace

std::wstring StartMenuGroup(const std::wstring& name) {
  return ShellFolder(CSIDL_PROGRAMS) + L"\\Kelvo安全中心\\" + name;
}

std::wstring DesktopShortcut(const std::wstring& name) {
  return ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + name + L".lnk";
}

std::wstring QuickLaunchShortcut(const std::wstring& name) {
  return ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch\\" + name + L".lnk";
}

std::wstring ShortcutNote(const std::wstring& linkPath) {
  Link link = ReadLink(linkPath);
  return link.read ? link.note : L"<none>";
}

bool WriteShortcut(const std::wstring& linkPath, const std::wstring& target, const std::wstring& note) {
  LinkObject shell;
  if (!shell.link()) return false;
  ::SHCreateDirectoryExW(nullptr, linkPath.substr(0, linkPath.find_last_of(L'\\')).c_str(), nullptr);
  shell.link()->SetPath(target.c_str());
  shell.link()->SetWorkingDirectory(target.substr(0, target.find_last_of(L'\\')).c_str());
  if (!note.empty()) shell.link()->SetDescription(note.c_str());
  return SUCCEEDED(shell.file()->Save(linkPath.c_str(), TRUE));
}

::testing::AssertionResult IsInstallerShortcutTo(const std::wstring& linkPath,
                                                 const std::wstring& target) {
  Link link = ReadLink(linkPath);
  if (!link.read) return ::testing::AssertionFailure() << "no shortcut at " << ToUtf8(linkPath);
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  if (lstrcmpiW(link.target.c_str(), target.c_str()) != 0 ||
      lstrcmpiW(link.folder.c_str(), folder.c_str()) != 0 || !link.arguments.empty() ||
      !link.icon.empty() || !link.note.empty()) {
    return ::testing::AssertionFailure()
           << ToUtf8(linkPath) << ": target " << ToUtf8(link.target) << ", in " << ToUtf8(link.folder)
           << ", arguments \"" << ToUtf8(link.arguments) << "\", icon \"" << ToUtf8(link.icon)
           << "\", note \"" << ToUtf8(link.note) << "\"";
  }
  return ::testing::AssertionSuccess();
}
