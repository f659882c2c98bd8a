#include "ui/PendingHooks.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "app/MutexProbe.h"
#include "app/ProductNames.h"
#include "app/SetupContext.h"
#include "util/SystemSeam.h"

BOOL ScanRunningForWindow() {
  BOOL running = FALSE;
  for (const wchar_t* name : {L"Global\\KelvoDsMainMutex_DsFullScanInProgress",
                              L"Global\\KelvoDsMainMutex_ScanInProgress"}) {
    HANDLE handle = nullptr;
    if (ProbeMutex(name, nullptr, &handle)) running = TRUE;
    if (handle) ::CloseHandle(handle);
  }
  return running;
}

void ShowScanNoticeOwnedBy(HWND owner) {
  for (;;) {
    int answer = Seam().MessageBoxW(
        owner, L"Kelvo云查杀正在扫描，会影响云盘安装。\n请您关闭云查杀或等待扫描完成后再重试。",
        product::kInstallerTitle, 0x145);
    if (answer != IDRETRY || !ScanRunningForWindow()) return;
  }
}

BOOL ProductRunningForTexts() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return FALSE;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  BOOL found = FALSE;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, product::kMainExe) == 0) found = TRUE;
  }
  ::CloseHandle(snapshot);
  return found;
}

void WriteAutoStartEntryNow(SetupContext&) {}

void FillInstallFolderIfUnset(SetupContext& context, const std::wstring& installDirOverride) {
  if (!context.installDir.empty()) return;
  std::wstring folder = installDirOverride;
  if (folder.empty()) {
    wchar_t programFiles[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
    folder = std::wstring(programFiles) + L"\\Kelvo\\Kelvopeltbox";
  }
  context.installDir = folder;
  context.defaultInstallDir = folder;
}
