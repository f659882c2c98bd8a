// The uninstall entry, App Paths and the autostart value, read back from the
// (sandboxed) registry.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "app/InstallApp.h"
#include "install/ProductNames.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "util/SystemSeam.h"

namespace {

constexpr wchar_t kAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoCloudEnterpriseSync.exe";
constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct NamedValue {
  std::wstring name;
  std::wstring data;
  DWORD type;
};

std::vector<NamedValue> ValuesOf(HKEY root, const wchar_t* key) {
  std::vector<NamedValue> values;
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[2048] = {};
    DWORD size = sizeof(data) - 2;
    DWORD type = 0;
    if (::RegEnumValueW(handle, i, name, &nameLength, nullptr, &type, data, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    values.push_back({name, reinterpret_cast<wchar_t*>(data), type});
  }
  ::RegCloseKey(handle);
  return values;
}

std::wstring OwnFileName() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return ::PathFindFileNameW(self);
}

class RegistryRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitialize(nullptr);
    context_.options.ownVersion = L"2.0.0.1130";
    context_.options.silent = TRUE;
    wcscpy(context_.options.pid, L"pid-7");
    wcscpy(context_.options.mid, L"mid-0123456789abcdef");
    context_.productName = product::kName;
    context_.installDir = dir_.Join(L"Program\\Kelvopeltbox");
    context_.productExe = context_.installDir + L"\\KelvoCloudEnterpriseSync.exe";
    context_.startMenuDir = dir_.Join(L"Programs\\Kelvo安全中心\\KelvoAI云盘同步版");
    context_.desktopDir = dir_.Join(L"Desktop");
    context_.appDataDir = dir_.Join(L"AppData");
    CreateDirectoryW(context_.desktopDir.c_str(), nullptr);
  }
  void TearDown() override {
    ResetSystemSeam();
    ::CoUninitialize();
  }

  RegistrySandbox sandbox_;
  ScopedTempDir dir_;
  SetupContext context_;
};

TEST_F(RegistryRecordsTest, UninstallEntryHoldsExactlyTheElevenTextValues) {
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"QuietUninstallString",
                             L"old"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayName",
                             L"Kelvo安全云盘同步版"));
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE,
                             (std::wstring(product::kUninstallKey) + L"\\Sub").c_str(), L"x", L"y"));
  HKEY held = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, product::kUninstallKey, 0, KEY_READ, &held),
            ERROR_SUCCESS);

  context_.WriteRegistryRecords();

  // Rewritten in place, never deleted (a process ending in between would
  // leave no entry): a handle opened before still reads the new values.
  wchar_t version[32] = {};
  DWORD size = sizeof(version);
  EXPECT_EQ(::RegQueryValueExW(held, L"DisplayVersion", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(version), &size),
            ERROR_SUCCESS);
  ::RegCloseKey(held);

  const std::wstring dir = context_.installDir;
  std::vector<NamedValue> expected = {
      {L"InstallLocation", dir, REG_SZ},
      {L"DisplayName", L"KelvoAI云盘同步版", REG_SZ},
      {L"UninstallString", dir + L"\\uninstall.exe", REG_SZ},
      {L"DisplayIcon", dir + L"\\KelvoCloudEnterpriseSync.exe", REG_SZ},
      {L"DisplayVersion", L"2.0.0.1130", REG_SZ},
      {L"NSIS:StartMenuDir", L"KelvoAI云盘同步版", REG_SZ},
      {L"URLInfoAbout", L"https://kelvo.com", REG_SZ},
      {L"Publisher", L"Kelvo安全中心", REG_SZ},
      {L"pid", L"pid-7", REG_SZ},
      {L"mid", L"mid-0123456789abcdef", REG_SZ},
      {L"InstName", OwnFileName(), REG_SZ},
  };
  std::vector<NamedValue> actual = ValuesOf(HKEY_LOCAL_MACHINE, product::kUninstallKey);
  ASSERT_EQ(actual.size(), expected.size());
  for (const NamedValue& want : expected) {
    bool found = false;
    for (const NamedValue& got : actual) {
      if (got.name != want.name) continue;
      found = true;
      EXPECT_EQ(got.data, want.data) << got.name;
      EXPECT_EQ(got.type, static_cast<DWORD>(REG_SZ)) << got.name;
    }
    EXPECT_TRUE(found) << "missing " << std::string(want.name.begin(), want.name.end());
  }
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE,
                            (std::wstring(product::kUninstallKey) + L"\\Sub").c_str()));
}

TEST_F(RegistryRecordsTest, DisplayNameAndStartMenuFolderCarryTheSameText) {
  context_.WriteUninstallEntry();
  std::wstring displayName, startMenuDir;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"DisplayName",
                            &displayName));
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, product::kUninstallKey, L"NSIS:StartMenuDir",
                            &startMenuDir));
  EXPECT_EQ(displayName, startMenuDir);
  EXPECT_EQ(displayName, product::kName);
}

TEST_F(RegistryRecordsTest, AppPathsNameTheExecutableAndItsFolder) {
  context_.WriteRegistryRecords();
  std::wstring exe, path;
  DWORD type = 0;
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", &exe, &type));
  EXPECT_EQ(exe, context_.productExe);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"Path", &path, &type));
  EXPECT_EQ(path, context_.installDir);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(RegistryRecordsTest, RegistrationAlsoCreatesTheShortcuts) {
  context_.installMode = kFreshInstall;
  context_.WriteRegistryRecords();
  EXPECT_TRUE(FileExists(context_.startMenuDir + L"\\KelvoAI云盘同步版.lnk"));
  EXPECT_TRUE(FileExists(context_.desktopDir + L"\\KelvoAI云盘同步版.lnk"));
}

TEST_F(RegistryRecordsTest, AutoStartValueStartsTheProductWithItsSwitch) {
  context_.WriteAutoStartEntry();
  std::wstring command;
  DWORD type = 0;
  ASSERT_TRUE(ReadRegString(HKEY_CURRENT_USER, kRunKey, L"Kelvocloudenterprisebox", &command,
                            &type));
  EXPECT_EQ(command, L"\"" + context_.productExe + L"\" /autostart");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kRunKey) &&
               ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvocloudenterprisebox", &command));
}

}  // namespace
