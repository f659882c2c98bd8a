#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "install/InstallOptions.h"
#include "unpack/ExtractedItems.h"

// A shell DLL taken out of the extraction's way, and how to bring it back.
struct RetiredFile {
  std::wstring path;
  // A DLL that could be deleted was copied here (temporary folder) first.
  std::wstring keptCopy;
  // One that could not (loaded by the shell) went to "<path>.bak".
  bool movedToBackup = false;
};

// The install state every stage shares: where the product goes, what is
// installed already, the user's choices and the step flags. The UI thread
// writes its choices only before posting the command that makes the worker
// read them; the worker writes only its step flags and the product mutex.
class SetupContext {
 public:
  // Fills the context once, before the pre-checks.
  void SetUp();
  // Finds an earlier installation through the uninstall entry (or the default
  // folder) and decides the install mode and folder; sets previousVersion.
  void LocatePreviousInstall(INT32* mode, std::wstring* folder, std::wstring* defaultFolder);

  // Registration steps, run by the install worker.
  // Before extraction; returns the DLLs it took out of the way.
  std::vector<RetiredFile> PrepareShellExtensionUpdate();
  // After a failed extraction: those DLLs go back where nothing new came.
  void PutBackShellExtensions(const std::vector<RetiredFile>& retired);
  // After a successful one: the copies kept for that are no longer needed.
  static void DiscardRetiredCopies(const std::vector<RetiredFile>& retired);
  BOOL RegisterShellExtensions();
  void RequestProductRegistration();
  // Shortcuts, then the uninstall entry, then App Paths.
  void WriteRegistryRecords();
  void WriteUninstallEntry();
  void WriteAppPath();
  void WriteAutoStartEntry();
  void CreateShortcuts();
  void CreateDesktopShortcut();
  void StopRunningProduct();
  void StopRunningProduct(WPARAM cleanFolder);
  void CreateProductMutex();
  // The folder entry in "Computer", for fresh installs only.
  void RegisterNamespaceFolderStep();
  // Lets the product restart the shell when the old extension is still loaded.
  void RefreshShellStep();
  void PostInstallLaunch();
  // Closes the product mutex taken for an upgrade, once its files are in place.
  void ReleaseProductMutex();

  // What the steps read of the run: the options, copied from the application
  // before the set-up, and the module holding the installer's resources.
  InstallOptions options;
  HMODULE resources = nullptr;

  std::wstring appDataDir;
  std::wstring startMenuDir;
  std::wstring desktopDir;
  std::wstring productExe;
  std::wstring installDir;
  std::wstring defaultInstallDir;
  // What the latest extraction of a fresh install created: the one thing a
  // move elsewhere, or closing while preparing, may remove again.
  ExtractedItems preExtracted;
  std::wstring previousVersion;
  BOOL launchAfterInstall = TRUE;
  BOOL autoStart = FALSE;
  INT32 installMode = 0;
  BOOL introSnapshotTaken = FALSE;
  INT64 introUiSize = 0;
  INT64 introXmlSize = 0;
  BOOL shellExtOutdated = FALSE;
  BOOL shellExtCleared = FALSE;
  BOOL formerNameInstalled = FALSE;
  std::wstring productName;
  BOOL productMutexCreated = FALSE;
  HANDLE productMutex = nullptr;
};

// Install modes.
enum InstallMode : INT32 {
  kFreshInstall = 0,
  kUpgrade = 1,
  kOverwrite = 2,
  kNewerInstalled = 3,
};
