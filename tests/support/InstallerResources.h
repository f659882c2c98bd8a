#pragma once
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "install/InstallCallback.h"

// The built installer loaded as a resource module, as the worker uses its
// own executable's resources.
class InstallerModule {
 public:
  explicit InstallerModule(const std::wstring& path);
  InstallerModule();  // the built KelvoSetup.exe
  ~InstallerModule();
  HMODULE get() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};

// A copy of the built installer in folder with one resource replaced by
// bytes (or removed, when remove is set). Returns the copy's path.
std::wstring CopyInstallerWithResource(const std::wstring& folder, const wchar_t* name,
                                       const wchar_t* type, const std::string& bytes,
                                       bool remove = false);

// The bytes of one resource of the built installer.
std::string InstallerResourceBytes(const wchar_t* name, const wchar_t* type);

// Where the build assembled the default payload.
std::wstring PayloadSourceFolder();

// Points GetTempPathW of this process at folder for the object's lifetime.
class ScopedTempPathOverride {
 public:
  explicit ScopedTempPathOverride(const std::wstring& folder);
  ~ScopedTempPathOverride();

 private:
  std::wstring oldTmp_, oldTemp_;
  bool hadTmp_ = false, hadTemp_ = false;
};

// Every file and folder below root, as relative paths ("dir\" for folders),
// sorted; with contents for files.
struct TreeEntry {
  std::wstring path;
  bool isFolder = false;
  std::string content;
  bool operator==(const TreeEntry& other) const {
    return path == other.path && isFolder == other.isFolder && content == other.content;
  }
};
std::vector<TreeEntry> ReadTree(const std::wstring& root, bool withContent = true);
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Records what the worker reports, in order; answers the 30 % wait at once
// (as the main window does when no scan runs).
class RecordingObserver : public IInstallCallback {
 public:
  struct Event {
    UINT message;
    WPARAM wParam;
  };
  int OnExtractDone(BOOL success) override;
  int OnProgress(int percent) override;
  int OnWaitForUi(HANDLE event) override;
  int OnShellExtensionsRegistered(BOOL result) override;
  int OnProductStopped() override;
  int OnRecordsWritten() override;
  int OnInstallDone() override;

  // Waits until a report with this message has arrived count times.
  bool WaitFor(UINT message, int count = 1, DWORD timeoutMs = 120000);
  std::vector<Event> events();

 private:
  void Record(UINT message, WPARAM wParam);
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};
