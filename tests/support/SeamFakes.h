#pragma once
// Fakes for the entries of the system seam (util/SystemSeam.h): what a test
// cannot arrange for real under Wine. A ScopedSeam puts the real calls back.
#include <windows.h>
#include <sddl.h>

#include <map>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "util/SystemSeam.h"

namespace fakes {

struct ScopedSeam {
  ScopedSeam() { ResetSystemSeam(); }
  ~ScopedSeam() { ResetSystemSeam(); }
};

// Message boxes: each is noted and answered with `answer`.
struct Box {
  std::wstring text, caption;
  UINT type;
};
inline std::vector<Box> boxes;
inline int answer = IDOK;
inline void RecordBoxes(int reply = IDOK) {
  boxes.clear();
  answer = reply;
  Seam().MessageBoxW = [](HWND, LPCWSTR text, LPCWSTR caption, UINT type) WINAPI -> int {
    boxes.push_back({text ? text : L"", caption ? caption : L"", type});
    return answer;
  };
}

// The token: in the administrators' group or not, elevated or not.
inline bool administrator = true, elevated = true;
inline void UseToken(bool inAdministrators, bool isElevated) {
  administrator = inAdministrators;
  elevated = isElevated;
  Seam().CheckTokenMembership = [](HANDLE, PSID, PBOOL member) WINAPI -> BOOL {
    *member = administrator;
    return TRUE;
  };
  Seam().GetTokenInformation = [](HANDLE, TOKEN_INFORMATION_CLASS, LPVOID info, DWORD,
                                  PDWORD returned) WINAPI -> BOOL {
    *static_cast<DWORD*>(info) = elevated;
    *returned = sizeof(DWORD);
    return TRUE;
  };
}

// Starts through the shell: the elevation prompt (ShellExecuteExW) and
// opened documents (ShellExecuteW), noted; a prompt fails with promptError.
struct Start {
  std::wstring verb, file, parameters;
  int show;
};
inline std::vector<Start> starts;
inline DWORD promptError = 0;
inline void RecordStarts(DWORD refusePromptWith = 0) {
  starts.clear();
  promptError = refusePromptWith;
  Seam().ShellExecuteExW = [](SHELLEXECUTEINFOW* info) WINAPI -> BOOL {
    starts.push_back({info->lpVerb ? info->lpVerb : L"", info->lpFile ? info->lpFile : L"",
                      info->lpParameters ? info->lpParameters : L"", info->nShow});
    if (promptError) ::SetLastError(promptError);
    return promptError == 0;
  };
  Seam().ShellExecuteW = [](HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR,
                            INT show) WINAPI -> HINSTANCE {
    starts.push_back({verb ? verb : L"", file ? file : L"", parameters ? parameters : L"", show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
  };
}

// The security suite's self-protection device "\\.\KelvoSelfProtection",
// which Wine lacks: answers every query with reply and notes each one.
struct Query {
  DWORD access, code, input;
};
inline std::vector<Query> queries;
inline DWORD reply = 0;
inline int handlesOpen = 0;
inline const HANDLE kDevice = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5E1F));  // never a real handle
inline void UseSelfProtectionDevice(DWORD answer) {
  queries.clear();
  reply = answer;
  handlesOpen = 0;
  Seam().CreateFileW = [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD flags, HANDLE templ) WINAPI -> HANDLE {
    if (lstrcmpiW(name, L"\\\\.\\KelvoSelfProtection") != 0) {
      return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
    }
    ++handlesOpen;
    queries.push_back({access, 0, 0});
    return kDevice;
  };
  Seam().DeviceIoControl = [](HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                              DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) WINAPI -> BOOL {
    if (device != kDevice) return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    queries.back().code = code;
    queries.back().input = inSize == sizeof(DWORD) ? *static_cast<DWORD*>(in) : 0;
    *static_cast<DWORD*>(out) = reply;
    *returned = sizeof(DWORD);
    return TRUE;
  };
  Seam().CloseHandle = [](HANDLE handle) WINAPI -> BOOL {
    if (handle != kDevice) return ::CloseHandle(handle);
    return --handlesOpen, TRUE;
  };
}

// The Windows version reported, of any platform.
inline OSVERSIONINFOEXW windowsVersion = {};
inline void UseWindowsVersion(DWORD platform, DWORD major, DWORD minor) {
  windowsVersion = {sizeof(windowsVersion), major, minor, 0, platform};
  Seam().GetVersionExW = [](LPOSVERSIONINFOW info) WINAPI -> BOOL {
    return *reinterpret_cast<OSVERSIONINFOEXW*>(info) = windowsVersion, TRUE;
  };
}

// Every volume reports this much free room (nothing to the caller's quota).
inline ULONGLONG freeBytes = 0;
inline std::wstring freeSpaceRootAsked;
inline void UseFreeSpace(ULONGLONG bytes) {
  freeBytes = bytes;
  Seam().GetDiskFreeSpaceExW = [](LPCWSTR root, PULARGE_INTEGER caller, PULARGE_INTEGER total,
                                  PULARGE_INTEGER totalFree) WINAPI -> BOOL {
    freeSpaceRootAsked = root;
    caller->QuadPart = 0;
    total->QuadPart = freeBytes * 2;
    totalFree->QuadPart = freeBytes;
    return TRUE;
  };
}

// Folder links, which Wine cannot make: a real folder of this name is
// reported to the folder walks as a junction; every listing they ask for is noted.
inline std::wstring linkName;
inline std::vector<std::wstring> listings;
inline void MarkLink(WIN32_FIND_DATAW* found) {
  if (linkName == found->cFileName) found->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
}
inline void ReportFolderAsLink(const std::wstring& name) {
  linkName = name;
  listings.clear();
  Seam().FindFirstFileW = [](LPCWSTR pattern, LPWIN32_FIND_DATAW found) WINAPI -> HANDLE {
    listings.push_back(pattern);
    HANDLE search = ::FindFirstFileW(pattern, found);
    if (search != INVALID_HANDLE_VALUE) MarkLink(found);
    return search;
  };
  Seam().FindNextFileW = [](HANDLE search, LPWIN32_FIND_DATAW found) WINAPI -> BOOL {
    BOOL more = ::FindNextFileW(search, found);
    if (more) MarkLink(found);
    return more;
  };
}

// File permissions, which Wine keeps only as mode bits, kept as Windows would:
// what each path was last given, in Windows' own words (SDDL).
inline std::map<std::wstring, std::wstring> permissions;
// Set by name on a folder, a DACL is handed down the tree: what an item only
// inherited is replaced by what its folder hands down.
inline void HandDown(const std::wstring& folder) {
  for (const std::wstring& name : ListFolder(folder)) {
    const std::wstring path = folder + L"\\" + name;
    if (!permissions.count(path)) permissions[path] = L"D:";
    if (IsFolder(path)) HandDown(path);
  }
}
inline void KeepPermissions() {
  permissions.clear();
  Seam().SetNamedSecurityInfoW = [](LPWSTR name, SE_OBJECT_TYPE, SECURITY_INFORMATION what,
                                    PSID owner, PSID, PACL dacl, PACL) WINAPI -> DWORD {
    SECURITY_DESCRIPTOR sd;
    ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorOwner(&sd, owner, FALSE);
    ::SetSecurityDescriptorDacl(&sd, TRUE, dacl, FALSE);
    if (what & PROTECTED_DACL_SECURITY_INFORMATION) sd.Control |= SE_DACL_PROTECTED;
    LPWSTR text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(&sd, SDDL_REVISION_1, what & 0xF, &text, nullptr);
    permissions[name] = text ? text : L"?";
    ::LocalFree(text);
    if (what & DACL_SECURITY_INFORMATION) HandDown(name);
    return ERROR_SUCCESS;
  };
}
// The DACL of path, or what its folder hands down to one that has no entry.
inline std::wstring EffectiveDacl(const std::wstring& path) {
  std::wstring kept = permissions.count(path) ? permissions[path] : L"D:as it came";
  if (kept == L"D:") return EffectiveDacl(path.substr(0, path.find_last_of(L'\\')));
  return kept.substr(kept.find(L"D:"));
}

}  // namespace fakes
