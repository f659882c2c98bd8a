// The product's folder in "Computer": the folder class under both class
// roots, the Computer entry, the places bar after both passes for each
// starting state, the overlay nudge, and the worker's 30 % and 80 % steps
// of a fresh install.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <memory>
#include <string>

#include "install/SetupContext.h"
#include "install/InstallWorker.h"
#include "install/NamespaceFolder.h"
#include "install/OverlayLoad.h"
#include "support/InstallerResources.h"
#include "support/ProductCopies.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/WindowsVersion.h"

namespace {

using namespace namespace_folder;

const wchar_t kExe[] = L"C:\\Program Files\\Kelvo\\KelvoAI云盘同步版\\KelvoCloudEnterpriseSync.exe";

struct RawValue {
  bool exists = false;
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const RawValue& other) const {
    return exists == other.exists && type == other.type && bytes == other.bytes;
  }
};

std::ostream& operator<<(std::ostream& out, const RawValue& value) {
  if (!value.exists) return out << "(missing)";
  return out << "type " << value.type << ", " << value.bytes.size() << " bytes";
}

RawValue Read(HKEY root, const std::wstring& key, const wchar_t* name) {
  RawValue value;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return value;
  }
  BYTE data[4096];
  DWORD size = sizeof(data);
  if (::RegQueryValueExW(opened, name, nullptr, &value.type, data, &size) == ERROR_SUCCESS) {
    value.exists = true;
    value.bytes.assign(reinterpret_cast<char*>(data), size);
    // Wine stores a string written without its terminator with one added;
    // Windows stores the bytes as given. Compare what both keep.
    bool isString = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
    if (isString && value.bytes.size() >= 2 && value.bytes.compare(value.bytes.size() - 2, 2,
                                                                   std::string(2, '\0')) == 0) {
      value.bytes.resize(value.bytes.size() - 2);
    }
  }
  ::RegCloseKey(opened);
  return value;
}

// Strings as stored: UTF-16 without the terminating NUL.
RawValue Text(const std::wstring& text, DWORD type = REG_SZ) {
  RawValue value;
  value.exists = true;
  value.type = type;
  value.bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return value;
}

RawValue Dword(DWORD number) {
  RawValue value;
  value.exists = true;
  value.type = REG_DWORD;
  value.bytes.assign(reinterpret_cast<const char*>(&number), sizeof(number));
  return value;
}

const RawValue kMissing;

void SetValue(HKEY root, const wchar_t* key, const wchar_t* name, const RawValue& value) {
  HKEY created = nullptr;
  ASSERT_EQ(::RegCreateKeyW(root, key, &created), ERROR_SUCCESS);
  ::RegSetValueExW(created, name, 0, value.type, reinterpret_cast<const BYTE*>(value.bytes.data()),
                   static_cast<DWORD>(value.bytes.size()));
  ::RegCloseKey(created);
}

void ExpectFolderClass(HKEY root, const std::wstring& classKey, const std::wstring& exe) {
  SCOPED_TRACE(testing::Message() << "class key " << std::string(classKey.begin(), classKey.end()));
  EXPECT_EQ(Read(root, classKey, nullptr), Text(L"KelvoAI云盘-同步版"));
  EXPECT_EQ(Read(root, classKey, L"InfoTip"), Text(L"个人知识助手"));
  EXPECT_EQ(Read(root, classKey, L"TileInfo"), Text(L"prop:System.ItemAuthors"));
  EXPECT_EQ(Read(root, classKey, L"System.ItemAuthors"), Text(L"个人知识助手"));
  EXPECT_EQ(Read(root, classKey + L"\\DefaultIcon", nullptr), Text(exe, REG_EXPAND_SZ));
  EXPECT_EQ(Read(root, classKey + L"\\Shell\\Open\\Command", nullptr), Text(exe));
  EXPECT_EQ(Read(root, classKey + L"\\InprocServer32", nullptr),
            Text(L"%SystemRoot%\\system32\\shdocvw.dll", REG_EXPAND_SZ));
  EXPECT_EQ(Read(root, classKey + L"\\InprocServer32", L"ThreadingModel"), Text(L"Apartment"));
  EXPECT_EQ(Read(root, classKey + L"\\ShellFolder", L"Attributes"), Dword(0xF8220000));
  EXPECT_EQ(Read(root, classKey + L"\\ShellFolder", L"PinToNameSpaceTree"), Text(L""));
  EXPECT_EQ(Read(root, classKey + L"\\Instance", L"CLSID"),
            Text(L"{0AFACED1-E828-11D1-9187-B532F1E9575D}"));
  EXPECT_EQ(Read(root, classKey + L"\\Instance\\InitPropertyBag", L"Target"), Text(exe));
}

void ExpectComputerEntry() {
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kComputerEntryKey, nullptr), Text(L"KelvoAI云盘-同步版"));
}

class NamespaceFolderTest : public ::testing::Test {
 protected:
  RegistrySandbox sandbox_;
};

TEST_F(NamespaceFolderTest, BothRootsHoldEveryValueOfTheFolderClass) {
  RegisterNamespaceFolder(kExe);
  ExpectFolderClass(HKEY_CURRENT_USER, kUserClassKey, kExe);
  ExpectFolderClass(HKEY_CLASSES_ROOT, kRootClassKey, kExe);
  ExpectComputerEntry();
}

TEST_F(NamespaceFolderTest, PerUserPassReplacesStaleSubkeysAndWritesOnlyTheFirstPlacesBarPass) {
  std::wstring stale = std::wstring(kUserClassKey) + L"\\InprocServer32";
  SetValue(HKEY_CURRENT_USER, stale.c_str(), L"Stale", Text(L"old"));
  SetValue(HKEY_CURRENT_USER, kPlacesBarKey, L"place4", Text(kOurPlace));

  RegisterNamespaceFolderPerUser(kExe);

  EXPECT_EQ(Read(HKEY_CURRENT_USER, stale, L"Stale"), kMissing);
  ExpectFolderClass(HKEY_CURRENT_USER, kUserClassKey, kExe);
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kRootClassKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kComputerEntryKey));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place0"), Dword(8));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place4"), Text(kOurPlace));
}

// Starting values of "place0" and "place4", and what both passes leave.
struct PlacesCase {
  const char* name;
  RawValue place0Before, place4Before;
  RawValue place4After, displacedAfter;
};

class PlacesBarTest : public ::testing::TestWithParam<PlacesCase> {
 protected:
  RegistrySandbox sandbox_;
};

TEST_P(PlacesBarTest, BothPassesPutOurFolderFirst) {
  const PlacesCase& c = GetParam();
  if (c.place0Before.exists) SetValue(HKEY_CURRENT_USER, kPlacesBarKey, L"place0", c.place0Before);
  if (c.place4Before.exists) SetValue(HKEY_CURRENT_USER, kPlacesBarKey, L"place4", c.place4Before);

  RegisterNamespaceFolder(kExe);

  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place0"), Text(kOurPlace));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place1"), Dword(0));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place2"), Dword(5));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place3"), Dword(17));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place4"), c.place4After);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, kDisplacedPlace0), c.displacedAfter);
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& ch : text) ch = static_cast<wchar_t>(towlower(ch));
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    StartingStates, PlacesBarTest,
    ::testing::Values(
        PlacesCase{"Empty", kMissing, kMissing, Dword(18), kMissing},
        PlacesCase{"Place4IsOurs", kMissing, Text(kOurPlace), Dword(18), Dword(8)},
        PlacesCase{"Place4IsOursInOtherCase", kMissing, Text(Lower(kOurPlace)), Dword(18),
                   Dword(8)},
        PlacesCase{"Place4IsNetworkNumber", kMissing, Dword(18), Dword(18), kMissing},
        PlacesCase{"Place4IsAnotherPath", kMissing, Text(L"D:\\共享"), Text(L"D:\\共享"),
                   kMissing},
        PlacesCase{"Place0IsAPathPlace4Missing", Text(L"D:\\工作"), kMissing, Dword(18),
                   kMissing},
        PlacesCase{"Place0IsOursAlready", Text(kOurPlace), Text(kOurPlace), Dword(18), Dword(8)}),
    [](const ::testing::TestParamInfo<PlacesCase>& info) { return std::string(info.param.name); });

TEST_F(NamespaceFolderTest, RegisteredOnlyWithComputerEntryTargetAndProductNameTooltip) {
  EXPECT_FALSE(IsNamespaceFolderRegistered(kExe));
  RegisterNamespaceFolder(kExe);
  // Our own class carries the product's description as its tooltip, which
  // the check does not accept: a fresh install always writes the entry.
  EXPECT_FALSE(IsNamespaceFolderRegistered(kExe));

  SetValue(HKEY_CLASSES_ROOT, kRootClassKey, L"InfoTip", Text(L"kelvoai云盘-同步版"));
  std::wstring upper = kExe;
  for (wchar_t& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
  EXPECT_TRUE(IsNamespaceFolderRegistered(upper.c_str()));
  EXPECT_FALSE(IsNamespaceFolderRegistered(L"C:\\Other\\KelvoCloudEnterpriseSync.exe"));

  ::SHDeleteKeyW(HKEY_CURRENT_USER, kComputerEntryKey);
  EXPECT_FALSE(IsNamespaceFolderRegistered(kExe));
}

TEST_F(NamespaceFolderTest, StepWritesTheFolderOnlyOnAFreshInstall) {
  SetupContext context;
  context.productExe = kExe;
  context.installMode = kUpgrade;
  context.RegisterNamespaceFolderStep();
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kRootClassKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kPlacesBarKey));

  context.installMode = kFreshInstall;
  context.RegisterNamespaceFolderStep();
  ExpectFolderClass(HKEY_CLASSES_ROOT, kRootClassKey, kExe);
  ExpectComputerEntry();
}

const wchar_t kOverlayKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

TEST_F(NamespaceFolderTest, OverlaysAreLoadedOnWindows7OnlyWhileFewerThan13AreRegistered) {
  const OSVERSIONINFOEXW& version = WindowsVersion();
  if (version.dwMajorVersion != 6 || version.dwMinorVersion != 1) {
    EXPECT_FALSE(LoadOverlaysIfRoom());
    GTEST_SKIP() << "the nudge is for Windows 7 only";
  }
  EXPECT_TRUE(LoadOverlaysIfRoom());  // no overlay key at all
  for (int i = 0; i < 12; ++i) {
    std::wstring key = std::wstring(kOverlayKey) + L"\\ Handler" + std::to_wstring(i);
    HKEY created = nullptr;
    ASSERT_EQ(::RegCreateKeyW(HKEY_LOCAL_MACHINE, key.c_str(), &created), ERROR_SUCCESS);
    ::RegCloseKey(created);
  }
  EXPECT_TRUE(LoadOverlaysIfRoom());
  HKEY created = nullptr;
  ASSERT_EQ(::RegCreateKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kOverlayKey) + L"\\Ours").c_str(),
                            &created),
            ERROR_SUCCESS);
  ::RegCloseKey(created);
  EXPECT_FALSE(LoadOverlaysIfRoom());
}

// The worker's schedule with the installer's real payload.
class FreshInstallScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<ScopedTempPathOverride>(tempRoot_.path() + L"\\");
    context_.installDir = installRoot_.Join(L"KelvoAI云盘同步版");
    context_.productExe = context_.installDir + L"\\KelvoCloudEnterpriseSync.exe";
    context_.launchAfterInstall = FALSE;
  }
  void TearDown() override {
    if (worker_.thread()) {
      worker_.Post(kCmdQuit, 0);
      ::WaitForSingleObject(worker_.thread(), 10000);
    }
    temp_.reset();
  }
  void RunInstall() {
    ASSERT_TRUE(installer_.get());
    ASSERT_TRUE(worker_.Start(&context_, installer_.get()));
    worker_.SetObserver(&observer_);
    worker_.Post(kCmdExtract, 0);
    ASSERT_TRUE(observer_.WaitFor(kMsgExtractDone));
    worker_.Post(kCmdInstall, 0);
    ASSERT_TRUE(observer_.WaitFor(kMsgInstallDone));
  }

  // The 30 % step registers the payload's shell DLLs, the stop step ends
  // any running product.
  ShellDllRegistrationTurn registrationTurn_;
  ProductProcessesTurn productTurn_;
  RegistrySandbox sandbox_;
  ScopedTempDir tempRoot_;
  ScopedTempDir installRoot_;
  std::unique_ptr<ScopedTempPathOverride> temp_;
  SetupContext context_;
  RecordingObserver observer_;
  InstallerModule installer_;
  InstallWorker worker_;
};

TEST_F(FreshInstallScheduleTest, ShellExtensionsAndTheFolderInComputerAreRegistered) {
  RunInstall();
  bool reported = false;
  for (const auto& e : observer_.events()) {
    if (e.message == kMsgShellExtensionsRegistered) {
      reported = true;
      EXPECT_EQ(e.wParam, 1u) << "the 64-bit shell extension was not registered";
    }
  }
  EXPECT_TRUE(reported);
  EXPECT_TRUE(context_.shellExtCleared);
  ExpectFolderClass(HKEY_CURRENT_USER, kUserClassKey, context_.productExe);
  ExpectFolderClass(HKEY_CLASSES_ROOT, kRootClassKey, context_.productExe);
  ExpectComputerEntry();
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place0"), Text(kOurPlace));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, L"place4"), Dword(18));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPlacesBarKey, kDisplacedPlace0), kMissing);
}

TEST_F(FreshInstallScheduleTest, UpgradeLeavesTheFolderInComputerAlone) {
  context_.installMode = kUpgrade;
  RunInstall();
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kRootClassKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kComputerEntryKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kPlacesBarKey));
}

}  // namespace
