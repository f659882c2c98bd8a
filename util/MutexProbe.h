#pragma once
#include <windows.h>

// Opens (or creates) the named mutex and tells whether it existed already.
// When it existed and a payload is given, the window titled like the mutex
// gets the payload by WM_COPYDATA (520 bytes, zero-filled). A failing
// CreateMutexW counts as not existing. The caller owns *handle.
BOOL ProbeMutex(const wchar_t* name, const wchar_t* payload, HANDLE* handle);

// The installer's single-instance guard: holds the mutex for the whole life of
// the process.
class SingleInstanceGuard {
 public:
  SingleInstanceGuard(const wchar_t* name, const wchar_t* payload);
  bool anotherInstanceRunning() const { return anotherInstanceRunning_; }

 private:
  HANDLE mutex_ = nullptr;
  bool anotherInstanceRunning_ = false;
};
