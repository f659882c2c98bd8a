#include "unpack/CorruptedFileReport.h"

#include <shlwapi.h>
#include <wchar.h>

#include "unpack/FileTrust.h"
#include "unpack/HeldFile.h"
#include "unpack/KelvoBaseInterface.h"
#include "util/LibraryLoadFlags.h"
#include "util/SystemSeam.h"

const wchar_t kSuiteDownloadHost[] = L"https://dl.kelvosafe.com";

namespace {

constexpr size_t kTextLength = 2048;
constexpr size_t kAddressLength = 128;

void Append(wchar_t* text, const wchar_t* part) {
  size_t used = wcslen(text);
  if (used + 1 < kTextLength && part) wcsncat(text, part, kTextLength - 1 - used);
}

// Only a trusted, non-beta suite install gets the stable setup.
bool SuiteIsStableRelease() {
  wchar_t folder[1024] = {};
  DWORD size = sizeof(folder);
  if (::SHGetValueW(HKEY_LOCAL_MACHINE,
                    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Kelvosafe.exe",
                    L"Path", nullptr, folder, &size) != ERROR_SUCCESS) {
    return false;
  }
  folder[1023] = L'\0';
  wchar_t library[MAX_PATH] = {};
  if (!::PathCombineW(library, folder, L"Kelvover.dll")) return false;
  HeldFile held(library);
  if (!::PathFileExistsW(library) || !IsTrustedFile(library)) return false;
  // Its own imports from the system folder, never from beside the installer.
  HMODULE module = ::LoadLibraryExW(library, nullptr, SystemLibraryLoadFlags());
  if (!module) return false;
  typedef int(WINAPI * IsBetaVersionFunc)();
  auto isBeta = ExportAs<IsBetaVersionFunc>(::GetProcAddress(module, "IsBetaVersion"));
  // A version library without the export cannot tell: offer the beta setup.
  bool stable = isBeta && isBeta() == 0;
  ::FreeLibrary(module);
  return stable;
}

}  // namespace

const wchar_t* SuiteDownloadAddress() {
  static wchar_t address[kAddressLength];
  _snwprintf(address, kAddressLength - 1, L"%ls%ls", kSuiteDownloadHost,
             SuiteIsStableRelease() ? L"/setup.exe" : L"/setupbeta.exe");
  address[kAddressLength - 1] = L'\0';
  return address;
}

int ReportCorruptedFile(const wchar_t* path, const wchar_t* title, BOOL exitAfterwards) {
  if (!title) title = L"";
  wchar_t text[kTextLength] = {};
  Append(text, L"发现");
  Append(text, title);
  Append(text, L"的文件已被破坏，不是原版文件。\n请重新安装");
  Append(text, title);
  Append(text, L"并进行木马扫描。\n\n被破坏的文件：");
  Append(text, path);
  Append(text, L"\n\n是否立即下载最新版？  ");

  int answer = Seam().MessageBoxW(::GetActiveWindow(), text, title, MB_YESNO | MB_ICONERROR);
  if (answer == IDYES) {
    Seam().ShellExecuteW(nullptr, L"open", SuiteDownloadAddress(), nullptr, nullptr,
                         SW_SHOWNORMAL);
  }
  if (exitAfterwards) ::ExitProcess(0);
  return answer;
}
