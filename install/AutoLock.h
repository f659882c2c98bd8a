#pragma once
#include <windows.h>

class CAutoLockBase {
 public:
  virtual ~CAutoLockBase() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

class CAutoCriticalSection : public CAutoLockBase {
 public:
  CAutoCriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CAutoCriticalSection() override { ::DeleteCriticalSection(&section_); }
  CAutoCriticalSection(const CAutoCriticalSection&) = delete;
  CAutoCriticalSection& operator=(const CAutoCriticalSection&) = delete;
  void Lock() override { ::EnterCriticalSection(&section_); }
  void Unlock() override { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};
