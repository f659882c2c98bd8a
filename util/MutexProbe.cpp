#include "util/MutexProbe.h"

#include <wchar.h>

BOOL ProbeMutex(const wchar_t* name, const wchar_t* payload, HANDLE* handle) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  bool existed = mutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (handle) {
    *handle = mutex;
  } else if (mutex) {
    ::CloseHandle(mutex);
  }
  if (!existed) return FALSE;
  if (payload) {
    if (HWND other = ::FindWindowW(nullptr, name)) {
      wchar_t data[260] = {};
      wcsncpy(data, payload, 259);
      COPYDATASTRUCT copy = {};
      copy.dwData = 0;
      copy.cbData = sizeof(data);
      copy.lpData = data;
      // Bounded: a first instance that does not answer must not hold this
      // one, which is about to end, for ever.
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(other, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
    }
  }
  return TRUE;
}

SingleInstanceGuard::SingleInstanceGuard(const wchar_t* name, const wchar_t* payload) {
  anotherInstanceRunning_ = ProbeMutex(name, payload, &mutex_) != FALSE;
}
