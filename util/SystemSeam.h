#pragma once
#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>

// The few Windows calls whose outcome a test cannot arrange for real under
// Wine: the user's answer to the elevation prompt, a standard user's token,
// device controls of hardware that is not there, message-box answers, the
// shell's pin verbs and change notices, which Wine's shell does not act on,
// the browser a download link would open, a volume's free space, folder
// links (junctions), which Wine cannot make, file permissions, which Wine
// keeps only as the owner's and others' mode bits, and the version of a
// Windows that is not NT.
// Every entry defaults to the real call; tests may swap one and must put the
// defaults back (ResetSystemSeam).
struct SystemSeam {
  int(WINAPI* MessageBoxW)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
  BOOL(WINAPI* ShellExecuteExW)(SHELLEXECUTEINFOW* info);
  HINSTANCE(WINAPI* ShellExecuteW)(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, INT show);
  BOOL(WINAPI* CheckTokenMembership)(HANDLE token, PSID sid, PBOOL isMember);
  BOOL(WINAPI* GetTokenInformation)(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info,
                                    DWORD length, PDWORD returnLength);
  HANDLE(WINAPI* CreateFileA)(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD flags, HANDLE templateFile);
  HANDLE(WINAPI* CreateFileW)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* DeviceIoControl)(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
  BOOL(WINAPI* CloseHandle)(HANDLE handle);
  void(WINAPI* SHChangeNotify)(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);
  // Free space a test cannot arrange on a real volume.
  BOOL(WINAPI* GetDiskFreeSpaceExW)(LPCWSTR root, PULARGE_INTEGER callerFree,
                                    PULARGE_INTEGER total, PULARGE_INTEGER totalFree);
  // The folder walks, which must take a link for a leaf.
  HANDLE(WINAPI* FindFirstFileW)(LPCWSTR pattern, LPWIN32_FIND_DATAW found);
  BOOL(WINAPI* FindNextFileW)(HANDLE search, LPWIN32_FIND_DATAW found);
  DWORD(WINAPI* SetNamedSecurityInfoW)(LPWSTR name, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                       PSID owner, PSID group, PACL dacl, PACL sacl);
  // Wine reports an NT platform only.
  BOOL(WINAPI* GetVersionExW)(LPOSVERSIONINFOW info);
  // shell32's texts of the pin verbs, which Wine's shell32 has not.
  int(WINAPI* LoadStringW)(HINSTANCE module, UINT id, LPWSTR text, int length);
};

SystemSeam& Seam();
void ResetSystemSeam();
