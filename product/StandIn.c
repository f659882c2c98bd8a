#include "StandIn.h"

#include <shlobj.h>
#include <shlwapi.h>

static BOOL StandInFolder(wchar_t* path, const wchar_t* leaf) {
  if (FAILED(SHGetFolderPathW(NULL, CSIDL_APPDATA | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT,
                              path))) {
    return FALSE;
  }
  if (lstrlenW(path) + 16 + lstrlenW(leaf) >= MAX_PATH) return FALSE;
  lstrcatW(path, L"\\KelvoStandIn");
  CreateDirectoryW(path, NULL);
  lstrcatW(path, L"\\");
  lstrcatW(path, leaf);
  return TRUE;
}

// The entry point itself: linked without the C runtime's start-up code,
// which has nothing to build here. No stand-in reads WinMain's command line
// or show flag.
void WinMainCRTStartup(void) {
  ExitProcess((UINT)WinMain(GetModuleHandleW(NULL), NULL, NULL, SW_SHOWDEFAULT));
}

void StandInRecordLaunch(void) {
  wchar_t path[MAX_PATH];
  if (!StandInFolder(path, L"launch.log")) return;
  const wchar_t* commandLine = GetCommandLineW();
  int length = lstrlenW(commandLine);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, commandLine, length, NULL, 0, NULL, NULL);
  char* line = (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)bytes + 2);
  if (!line) return;
  WideCharToMultiByte(CP_UTF8, 0, commandLine, length, line, bytes, NULL, NULL);
  line[bytes] = '\r';
  line[bytes + 1] = '\n';
  // Append-only access makes every write land at the end, so programs
  // starting together never interleave inside a line.
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, line, (DWORD)bytes + 2, &written, NULL);
    CloseHandle(file);
  }
  HeapFree(GetProcessHeap(), 0, line);
}

BOOL StandInFlagApplies(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  if (!StandInFolder(path, name)) return FALSE;
  HANDLE file = CreateFileW(path, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  char text[1024];
  DWORD got = 0;
  if (!ReadFile(file, text, sizeof(text) - 1, &got, NULL)) got = 0;
  CloseHandle(file);
  while (got > 0 && (text[got - 1] == '\r' || text[got - 1] == '\n' || text[got - 1] == ' ')) {
    --got;
  }
  if (got == 0) return TRUE;
  wchar_t wanted[1024];
  int units = MultiByteToWideChar(CP_UTF8, 0, text, (int)got, wanted, 1023);
  if (units <= 0) return FALSE;
  wanted[units] = L'\0';
  return StrStrW(GetCommandLineW(), wanted) != NULL;
}

const wchar_t* StandInArguments(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  return p;
}
