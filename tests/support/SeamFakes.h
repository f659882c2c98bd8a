#pragma once
// Fakes for the entries of the system seam (util/SystemSeam.h): what a test
// cannot arrange for real under Wine. A ScopedSeam puts the real calls back.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "util/SystemSeam.h"

namespace fakes {

struct ScopedSeam {
  ScopedSeam() { ResetSystemSeam(); }
  ~ScopedSeam() { ResetSystemSeam(); }
};

// Message boxes: each is noted and answered with `answer`.
struct Box {
  HWND owner;
  std::wstring text, caption;
  UINT type;
};
inline std::vector<Box> boxes;
inline int answer = IDOK;
inline int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  boxes.push_back({owner, text ? text : L"", caption ? caption : L"", type});
  return answer;
}
inline void RecordBoxes(int reply = IDOK) {
  boxes.clear();
  answer = reply;
  Seam().MessageBoxW = RecordBox;
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

// Devices that are not there: found by the name they are opened with,
// refusing opens that share less than requiredShare, answering device
// controls through `answer`. Opens and requests are noted.
struct Request {
  std::string device, input;
  DWORD code, outputSize;
};
using Answer = std::function<bool(const Request& request, BYTE* out, DWORD* returned)>;
struct Device {
  std::string name;
  DWORD requiredShare;
  Answer answer;
};
inline std::vector<Device> devices;
inline std::vector<std::string> opened;
inline std::vector<Request> requests;
inline std::vector<DWORD> openAccess;
inline int handlesOpen = 0;
constexpr uintptr_t kFirstHandle = 0x7AB00000;  // never a real handle

inline HANDLE OpenDevice(const std::string& name, DWORD access, DWORD share) {
  opened.push_back(name);
  for (size_t i = 0; i < devices.size(); ++i) {
    if (lstrcmpiA(devices[i].name.c_str(), name.c_str()) == 0 &&
        (share & devices[i].requiredShare) == devices[i].requiredShare) {
      ++handlesOpen;
      openAccess.push_back(access);
      return reinterpret_cast<HANDLE>(kFirstHandle + i * 4);
    }
  }
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}
inline Device* DeviceOf(HANDLE handle) {
  size_t index = (reinterpret_cast<uintptr_t>(handle) - kFirstHandle) / 4;
  return reinterpret_cast<uintptr_t>(handle) >= kFirstHandle && index < devices.size() ? &devices[index] : nullptr;
}
inline void UseDevices() {
  devices.clear(), opened.clear(), requests.clear(), openAccess.clear();
  handlesOpen = 0;
  Seam().CreateFileA = [](LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD,
                          DWORD, HANDLE) WINAPI -> HANDLE { return OpenDevice(name, access, share); };
  Seam().CreateFileW = [](LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD flags, HANDLE templ) WINAPI -> HANDLE {
    if (wcsncmp(name, L"\\\\.\\", 4) != 0) return ::CreateFileW(name, access, share, sa, disposition, flags, templ);
    return OpenDevice(std::string(name, name + wcslen(name)), access, share);
  };
  Seam().DeviceIoControl = [](HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                              DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) WINAPI -> BOOL {
    Device* device = DeviceOf(handle);
    if (!device) return ::DeviceIoControl(handle, code, in, inSize, out, outSize, returned, overlapped);
    requests.push_back({device->name, in ? std::string(static_cast<const char*>(in), inSize) : "", code, outSize});
    *returned = 0;
    if (device->answer(requests.back(), static_cast<BYTE*>(out), returned)) return TRUE;
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  };
  Seam().CloseHandle = [](HANDLE handle) WINAPI -> BOOL {
    if (!DeviceOf(handle)) return ::CloseHandle(handle);
    return --handlesOpen, TRUE;
  };
}
inline void AddDevice(const std::string& name, Answer answer,
                      DWORD requiredShare = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  devices.push_back({name, requiredShare, std::move(answer)});
}
// The security suite's self-protection device, answering every query so.
inline void AddSelfProtectionDevice(DWORD reply) {
  AddDevice("\\\\.\\KelvoSelfProtection", [reply](const Request&, BYTE* out, DWORD* returned) {
    *reinterpret_cast<DWORD*>(out) = reply;
    *returned = sizeof(DWORD);
    return true;
  }, 0);
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

}  // namespace fakes
