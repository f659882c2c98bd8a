#pragma once
#include <windows.h>

#include <atomic>

#include "unpack/KelvoBaseInterface.h"
#include "unpack/TrustedLoad.h"

// Binds one of the maker's libraries: loads it once per process (trusted
// loading only), lets it fill its export table and keeps it until the
// process ends. One process-wide instance per export table type T.
template <class T>
class CKelvoPublicDLLHelper {
 public:
  static T& Instance() { return instance_; }

  virtual ~CKelvoPublicDLLHelper() {
    if (module_) ::FreeLibrary(module_);
    ::DeleteCriticalSection(&lock_);
  }

  // The one-time load. A second thread waits for the first one's outcome;
  // once attempted, the library is never tried again, whatever the path.
  bool LoadOnce(const wchar_t* libraryPath) {
    if (!attempted_) {
      ::EnterCriticalSection(&lock_);
      if (!attempted_) {
        LONG status = E_FAIL;
        HMODULE module = LoadTrustedLibrary(libraryPath);
        if (module) {
          auto initLibs = ExportAs<KelvoInitLibsFunc>(::GetProcAddress(module, "InitLibs"));
          createObject_ = ::GetProcAddress(module, "CreateObject");
          if (initLibs) {
            table_.count = kKelvoExportSlots;
            status = initLibs(&table_);
          } else if (createObject_) {
            status = 0;
          }
          if (status != 0) {
            ::FreeLibrary(module);
            module = nullptr;
            createObject_ = nullptr;
            table_.count = 0;
          }
        }
        module_ = module;
        ready_ = status == 0;
        attempted_ = true;
      }
      ::LeaveCriticalSection(&lock_);
    }
    return ready_;
  }

  // At the end of the run, so the file can be deleted. Never loaded again.
  void Unload() {
    ::EnterCriticalSection(&lock_);
    ready_ = false;
    createObject_ = nullptr;
    table_.count = 0;
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
    ::LeaveCriticalSection(&lock_);
  }

  bool ready() const { return ready_; }
  bool attempted() const { return attempted_; }
  HMODULE module() const { return module_; }

  CKelvoPublicDLLHelper(const CKelvoPublicDLLHelper&) = delete;
  CKelvoPublicDLLHelper& operator=(const CKelvoPublicDLLHelper&) = delete;

 protected:
  CKelvoPublicDLLHelper() { ::InitializeCriticalSection(&lock_); }

  // The export slot, when the library filled it.
  void* ExportSlot(DWORD index) const {
    return ready_ && table_.count > index ? table_.slots[index] : nullptr;
  }

  HMODULE module_ = nullptr;
  FARPROC createObject_ = nullptr;
  KelvoExportTable table_ = {};
  CRITICAL_SECTION lock_;
  std::atomic<bool> attempted_{false};
  std::atomic<bool> ready_{false};

 private:
  // Built before main, so before any thread can ask for it.
  static T instance_;
};

template <class T>
T CKelvoPublicDLLHelper<T>::instance_;

// The base library "Kelvobase.dll": trust questions about the product's files.
class CKelvoBaseExportFuncs : public CKelvoPublicDLLHelper<CKelvoBaseExportFuncs> {
 public:
  // The library's verdict on a file: true when it determined a level
  // (3: not trustworthy).
  bool CheckFileTrust(const wchar_t* path, LONG* level);

  // Tests bind variants of the library in instances of their own.
  CKelvoBaseExportFuncs() = default;
};

// The maker's configuration and utility libraries: bound the same way, never
// loaded by this installer.
class CKelvoConfExportFuncs : public CKelvoPublicDLLHelper<CKelvoConfExportFuncs> {
 public:
  CKelvoConfExportFuncs() = default;
};
class CKelvoUtilExportFuncs : public CKelvoPublicDLLHelper<CKelvoUtilExportFuncs> {
 public:
  CKelvoUtilExportFuncs() = default;
};
