#include "bench/WorkerTimeline.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "bench/Timing.h"
#include "install/InstallCallback.h"
#include "install/InstallWorker.h"
#include "install/ProductNames.h"
#include "install/SetupContext.h"
#include "util/FolderOps.h"

namespace bench {

namespace {

// Notes when each report arrives; answers the 30 % wait at once, as the
// main window of a silent install does.
class TimingObserver : public IInstallCallback {
 public:
  TimingObserver() : done_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~TimingObserver() { ::CloseHandle(done_); }
  int OnExtractDone(BOOL) override { return Note(L"pre-extraction done", true); }
  int OnProgress(int percent) override {
    passes.push_back({percent, Now()});
    return 0;
  }
  int OnWaitForUi(HANDLE event) override {
    if (event) ::SetEvent(event);
    return 0;
  }
  int OnShellExtensionsRegistered(BOOL) override { return Note(L"shell DLLs registered", false); }
  int OnProductStopped() override { return 0; }
  int OnRecordsWritten() override { return Note(L"records written", false); }
  int OnInstallDone() override { return Note(L"install done", true); }

  bool WaitDone() { return ::WaitForSingleObject(done_, 120000) == WAIT_OBJECT_0; }

  std::vector<std::pair<const wchar_t*, double>> events;
  std::vector<std::pair<int, double>> passes;

 private:
  int Note(const wchar_t* what, bool ends) {
    events.push_back({what, Now()});
    if (ends) ::SetEvent(done_);
    return 0;
  }
  HANDLE done_;
};

}  // namespace

void PrintWorkerTimeline(const std::wstring& installer, const std::wstring& folder) {
  HMODULE resources = ::LoadLibraryExW(installer.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!resources) return;
  if (!::FindResourceW(resources, L"ID_KELVOZIP_MAIN", L"BINARY")) {
    ::FreeLibrary(resources);
    return;
  }
  SetupContext context;
  context.SetUp();
  context.options.silent = TRUE;
  context.options.silentRun = FALSE;
  context.resources = resources;
  context.installDir = folder;
  context.productExe = folder + L"\\" + product::kMainExe;
  context.launchAfterInstall = FALSE;

  TimingObserver observer;
  InstallWorker worker;
  if (!worker.Start(&context, resources)) return;
  worker.SetObserver(&observer);
  const double start = Now();
  // The silent road of a fresh install: pre-extraction, then the schedule
  // (which first stops a running product).
  worker.Post(kCmdExtract, 0);
  if (observer.WaitDone()) {
    const double extracted = Now();
    worker.Post(kCmdInstall, 1);
    observer.WaitDone();
    wprintf(L"  worker steps, in this process (s): pre-extraction %.3f", extracted - start);
    // Each pass of the schedule lasts until the next one reports.
    const auto& passes = observer.passes;
    double rest = 0;
    for (size_t i = 0; i < passes.size(); ++i) {
      double end = i + 1 < passes.size() ? passes[i + 1].second : observer.events.back().second;
      double seconds = end - passes[i].second;
      if (seconds >= 0.005) {
        wprintf(L"; step %d %.3f", passes[i].first, seconds);
      } else {
        rest += seconds;
      }
    }
    wprintf(L"; the other steps %.3f; schedule %.3f\n", rest,
            observer.events.back().second - passes.front().second);
  }
  worker.Stop(10000);
  worker.SetObserver(nullptr);
  wchar_t runFolder[MAX_PATH];
  wcsncpy(runFolder, folder.c_str(), MAX_PATH - 1);
  runFolder[MAX_PATH - 1] = L'\0';
  *wcsrchr(runFolder, L'\\') = L'\0';
  DeleteDirectoryTree(runFolder);
  ::FreeLibrary(resources);
}

}  // namespace bench
