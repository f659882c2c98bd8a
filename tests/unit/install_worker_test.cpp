// The install worker thread with the installer's real resources: extraction
// of the payload, the step schedule, and the commands that end or repeat.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/ProductNames.h"
#include "install/SetupContext.h"
#include "install/InstallWorker.h"
#include "support/InstallerResources.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/FolderOps.h"

namespace {

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A temporary folder of our own, so leftovers can be counted.
    temp_ = std::make_unique<ScopedTempPathOverride>(tempRoot_.path() + L"\\");
    context_.installDir = installRoot_.Join(L"Kelvo 安装 folder");
    // The 50 % step writes shortcuts and registry records: keep them private.
    context_.productName = L"KelvoAI云盘同步版";
    context_.productExe = context_.installDir + L"\\KelvoCloudEnterpriseSync.exe";
    context_.startMenuDir = shellRoot_.Join(L"Programs\\Kelvo安全中心\\KelvoAI云盘同步版");
    context_.desktopDir = shellRoot_.path();
    context_.appDataDir = shellRoot_.path();
    // The schedule runs every step for real: keep the product from starting.
    context_.launchAfterInstall = FALSE;
  }
  void TearDown() override {
    if (worker_.thread()) {
      worker_.Post(kCmdQuit, 0);
      ::WaitForSingleObject(worker_.thread(), 10000);
    }
    temp_.reset();
  }
  void Start(HMODULE resources) {
    ASSERT_TRUE(worker_.Start(&context_, resources));
    worker_.SetObserver(&observer_);
  }
  bool WorkerEnds() { return ::WaitForSingleObject(worker_.thread(), 20000) == WAIT_OBJECT_0; }

  // Records, the folder in "Computer" and the places bar go to a private hive.
  RegistrySandbox sandbox_;
  ScopedTempDir tempRoot_;
  ScopedTempDir installRoot_;
  ScopedTempDir shellRoot_;
  std::unique_ptr<ScopedTempPathOverride> temp_;
  SetupContext context_;
  RecordingObserver observer_;
  InstallWorker worker_;
};

std::vector<UINT> Messages(const std::vector<RecordingObserver::Event>& events) {
  std::vector<UINT> messages;
  for (const auto& e : events) messages.push_back(e.message);
  return messages;
}

TEST_F(InstallWorkerTest, ExtractLeavesThePayloadByteIdenticalAndReports5132) {
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  Start(installer.get());
  ASSERT_TRUE(worker_.Post(kCmdExtract, 0));
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone)) << "no 5132";
  std::vector<TreeEntry> installed = ReadTree(context_.installDir);
  std::vector<TreeEntry> source = ReadTree(PayloadSourceFolder());
  ASSERT_FALSE(source.empty());
  ASSERT_EQ(installed.size(), source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    EXPECT_EQ(installed[i].path, source[i].path);
    EXPECT_TRUE(installed[i] == source[i]) << "differs: " << i;
  }
}

// The installer's exit waits on this: a worker told to stop finishes the
// command it runs before its thread ends, so nothing is freed under it.
TEST_F(InstallWorkerTest, StopLetsTheRunningExtractionFinishFirst) {
  InstallerModule installer;
  ASSERT_TRUE(installer.get());
  Start(installer.get());
  ASSERT_TRUE(worker_.Post(kCmdExtract, 0));
  ASSERT_TRUE(worker_.Stop(120000));
  EXPECT_EQ(Messages(observer_.events()).back(), static_cast<UINT>(kMsgExtractDone));
  EXPECT_TRUE(worker_.Stop(0)) << "an ended worker counts as stopped";
}

// The user picks another folder after the pre-extraction: what it put into
// the first folder goes again, and what the user kept there stays.
TEST_F(InstallWorkerTest, MovingAFreshInstallElsewhereRemovesOnlyWhatWasPreExtracted) {
  ASSERT_TRUE(CreateFolderTree((context_.installDir + L"\\data").c_str()));
  ASSERT_TRUE(WriteFileBytes(context_.installDir + L"\\notes.txt", "mine"));
  ASSERT_TRUE(WriteFileBytes(context_.installDir + L"\\data\\mine.txt", "mine too"));
  std::vector<TreeEntry> before = ReadTree(context_.installDir);
  context_.defaultInstallDir = context_.installDir;
  InstallerModule installer;
  Start(installer.get());
  ASSERT_TRUE(worker_.Post(kCmdExtract, 0));
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  ASSERT_TRUE(FileExists(context_.productExe));
  ASSERT_TRUE(worker_.Post(kCmdStopProduct, 1));
  ASSERT_TRUE(observer_.WaitFor(kMsgProductStopped));
  EXPECT_TRUE(ReadTree(context_.installDir) == before);
}

TEST_F(InstallWorkerTest, ScheduleReportsEveryStepInOrderAndCleansTheTemporaryFolder) {
  // The schedule registers the payload's shell DLLs at 30 %.
  ShellDllRegistrationTurn registrationTurn;
  InstallerModule installer;
  Start(installer.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  worker_.Post(kCmdInstall, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgInstallDone));

  std::vector<UINT> expected = {kMsgExtractDone};
  for (int percent = 2; percent <= 100; percent += 2) {
    expected.push_back(kMsgProgress);
    if (percent == 30) {
      expected.push_back(kMsgWaitForUi);
      expected.push_back(kMsgShellExtensionsRegistered);
    }
    if (percent == 50) expected.push_back(kMsgRecordsWritten);
    if (percent == 100) expected.push_back(kMsgInstallDone);
  }
  std::vector<RecordingObserver::Event> events = observer_.events();
  EXPECT_EQ(Messages(events), expected);
  int percent = 2;
  for (const auto& e : events) {
    if (e.message != kMsgProgress) continue;
    EXPECT_EQ(static_cast<int>(e.wParam), percent);
    percent += 2;
  }
  // The archive copy, the staging folder and the library copy are all gone.
  // The base library stays where the signature check loaded it from.
  std::vector<std::wstring> left;
  for (const std::wstring& name : ListFolder(tempRoot_.path())) {
    if (!FileExists(tempRoot_.Join(name) + L"\\Kelvobase.dll")) left.push_back(name);
  }
  EXPECT_TRUE(left.empty()) << left.size() << " entries left, first: "
                            << (left.empty() ? std::string() : ToUtf8(left[0]));
}

TEST_F(InstallWorkerTest, ScheduleRegistersTheProductAndItsShortcuts) {
  InstallerModule installer;
  Start(installer.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  worker_.Post(kCmdInstall, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgInstallDone));
  std::wstring location;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"InstallLocation",
                            &location));
  EXPECT_EQ(location, context_.installDir);
  EXPECT_TRUE(FileExists(context_.desktopDir + L"\\KelvoAI云盘同步版.lnk"));
  EXPECT_TRUE(FileExists(context_.startMenuDir + L"\\KelvoAI云盘同步版.lnk"));
}

TEST_F(InstallWorkerTest, TruncatedArchiveReports5131AndPutsBackTheShellExtensionItMovedAside) {
  std::string archive = InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY");
  ASSERT_GT(archive.size(), 1000u);
  ScopedTempDir copies;
  std::wstring copy = CopyInstallerWithResource(copies.path(), L"ID_KELVOZIP_MAIN", L"BINARY",
                                                archive.substr(0, archive.size() / 3));
  ASSERT_FALSE(copy.empty());
  // The installed shell extension is loaded, so it is moved aside, not deleted.
  const std::wstring dll = context_.installDir + L"\\KelvoEnterpriseShellExt.dll";
  ASSERT_TRUE(MakeInstalledCopy(context_.installDir, L"2.0.0.1130", {L"KelvoEnterpriseShellExt.dll"}));
  std::string before, after;
  ASSERT_TRUE(ReadFileBytes(dll, &before));
  HMODULE loaded = ::LoadLibraryW(dll.c_str());
  ASSERT_TRUE(loaded);
  InstallerModule damaged(copy);
  Start(damaged.get());
  worker_.Post(kCmdExtract, 0);
  EXPECT_TRUE(observer_.WaitFor(kMsgExtractFailed)) << "no 5131";
  ::FreeLibrary(loaded);
  EXPECT_TRUE(ReadFileBytes(dll, &after) && after == before) << "the old DLL is not back";
  EXPECT_FALSE(FileExists(dll + L".bak"));
}

TEST_F(InstallWorkerTest, DamagedLibraryCabinetReports5131WithoutExtracting) {
  ScopedTempDir copies;
  std::wstring copy = CopyInstallerWithResource(copies.path(), L"IDR_7Z_CAB_DLL", L"DLL", "MSCF broken");
  ASSERT_FALSE(copy.empty());
  InstallerModule damaged(copy);
  Start(damaged.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractFailed, 1, 20000))
      << observer_.events().size() << " reports, first " << observer_.events()[0].message;
  EXPECT_TRUE(ListFolder(context_.installDir).empty());
}

// The library's copy lies in a folder every program of the user's may write:
// one that is not the signed library packed by the build is never loaded.
TEST_F(InstallWorkerTest, UnsignedLibraryInItsCabinetIsNotLoaded) {
  std::string cabinet;
  ASSERT_TRUE(ReadFileBytes(std::wstring(KELVO_TEST_DATA_WIN) + L"\\unsigned-7z.cab", &cabinet));
  ScopedTempDir copies;
  std::wstring copy = CopyInstallerWithResource(copies.path(), L"IDR_7Z_CAB_DLL", L"DLL", cabinet);
  InstallerModule unsigned7z(copy);
  Start(unsigned7z.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractFailed, 1, 20000));
  EXPECT_FALSE(FileExists(context_.productExe));
}

TEST_F(InstallWorkerTest, ScheduleWithoutObserverInstallsNothing) {
  InstallerModule installer;
  Start(installer.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  std::wstring library = worker_.archiveLibrary().libraryPath();
  ASSERT_TRUE(FileExists(library));
  worker_.SetObserver(nullptr);
  worker_.Post(kCmdInstall, 0);
  worker_.Post(kCmdQuit, 0);
  ASSERT_TRUE(WorkerEnds());
  // The 50 % step would have deleted the library copy.
  EXPECT_TRUE(FileExists(library));
  EXPECT_EQ(observer_.events().size(), 1u);
}

TEST_F(InstallWorkerTest, QuitMessageDoesNotStopTheWorkerButCommand5125Does) {
  InstallerModule installer;
  Start(installer.get());
  ::PostThreadMessageW(worker_.threadId(), WM_QUIT, 0, 0);
  worker_.Post(kCmdExtract, 0);
  EXPECT_TRUE(observer_.WaitFor(kMsgExtractDone));
  EXPECT_EQ(::WaitForSingleObject(worker_.thread(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  worker_.Post(kCmdQuit, 0);
  EXPECT_TRUE(WorkerEnds());
}

TEST_F(InstallWorkerTest, SecondExtractAfterAFolderChangeUsesANewLibraryCopy) {
  // The stop command ends any running product, whoever started it.
  ProductProcessesTurn productTurn;
  InstallerModule installer;
  Start(installer.get());
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  std::wstring firstLibrary = worker_.archiveLibrary().libraryPath();
  std::wstring firstFolder = context_.installDir;

  // The window changes the folder only between commands.
  context_.installDir = installRoot_.Join(L"second");
  worker_.Post(kCmdStopProduct, 1);
  ASSERT_TRUE(observer_.WaitFor(kMsgProductStopped));
  worker_.Post(kCmdExtract, 0);
  ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone, 2));
  EXPECT_NE(worker_.archiveLibrary().libraryPath(), firstLibrary);
  EXPECT_EQ(ReadTree(context_.installDir).size(), ReadTree(PayloadSourceFolder()).size());
}

TEST_F(InstallWorkerTest, InstalledFileHeldByAProgramIsReplacedThroughBak) {
  InstallerModule installer;
  Start(installer.get());
  ASSERT_TRUE(::CreateDirectoryW(context_.installDir.c_str(), nullptr));
  std::wstring target = context_.installDir + L"\\KelvoCloudEnterpriseSync.exe";
  ASSERT_TRUE(CopyOwnProgram(target));
  std::string before;
  ASSERT_TRUE(ReadFileBytes(target, &before));
  {
    HeldImage held(target);
    ASSERT_TRUE(held.ok());
    worker_.Post(kCmdExtract, 0);
    ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
  }
  std::string after, expected;
  ASSERT_TRUE(ReadFileBytes(target, &after));
  ASSERT_TRUE(ReadFileBytes(PayloadSourceFolder() + L"\\KelvoCloudEnterpriseSync.exe", &expected));
  EXPECT_EQ(after, expected);
  EXPECT_NE(after, before);
}

}  // namespace
