// A silent run over an intact install with its package damaged the ways a
// download or a disk damages one: each ends by itself with the
// damaged-package code, and the installed files (a loaded shell extension
// among them) and the uninstall entry are exactly as before.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

struct Damage {
  const char* what;
  const wchar_t* name;  // the resource replaced
  const wchar_t* type;
  std::string bytes;
};

class DamagedPackageOverAnInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
    // Loaded, as the shell holds it: it cannot be deleted, only moved aside.
    shellExtension_ = ::LoadLibraryW((folder_ + L"\\KelvoEnterpriseShellExt.dll").c_str());
    ASSERT_TRUE(shellExtension_);
  }
  void TearDown() override { ::FreeLibrary(shellExtension_); }

  void ExpectEachEndsWithItsCodeAndChangesNothing(const std::vector<Damage>& damages) {
    const std::vector<TreeEntry> files = ReadTree(folder_);
    const std::map<std::wstring, std::wstring> entry = RegValues(HKEY_LOCAL_MACHINE, names::kUninstallKey);
    for (const Damage& damage : damages) {
      SCOPED_TRACE(damage.what);
      ScopedTempDir copies;
      std::wstring installer = CopyInstallerWithResource(copies.path(), damage.name, damage.type, damage.bytes);
      ASSERT_FALSE(installer.empty());
      InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0", installer);
      EXPECT_EQ(outcome.exitCode, 5u);
      EXPECT_TRUE(outcome.messageBoxTexts.empty());
      EXPECT_TRUE(ReadTree(folder_) == files) << "the installed files changed";
      EXPECT_TRUE(RegValues(HKEY_LOCAL_MACHINE, names::kUninstallKey) == entry) << "the entry changed";
    }
  }

  const std::wstring folder_ = DefaultInstallFolder();
  HMODULE shellExtension_ = nullptr;
};

TEST_F(DamagedPackageOverAnInstall, ArchiveCutOrBitFlippedAnywhere) {
  const std::string archive = InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY");
  ASSERT_GT(archive.size(), 1000000u);
  auto cut = [&](double at) { return archive.substr(0, static_cast<size_t>(archive.size() * at)); };
  auto flipped = [&](double at) {
    std::string bytes = archive;
    bytes[static_cast<size_t>(bytes.size() * at)] ^= 0x10;
    return bytes;
  };
  // Early, in the middle and before the closing header; in the packed data's
  // start, its middle and that header.
  ExpectEachEndsWithItsCodeAndChangesNothing({
      {"cut at 10 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.1)},
      {"cut at 50 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.5)},
      {"cut at 99.9 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.999)},
      {"bit flipped at 0.01 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.0001)},
      {"bit flipped at 50 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.5)},
      {"bit flipped at 99.99 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.9999)}});
}

// The library's copy lies in a folder every program of the user's may write:
// only the signed library the build packed is ever loaded.
TEST_F(DamagedPackageOverAnInstall, ArchiveLibraryCabinetDamagedOrUnsigned) {
  std::string unsignedCabinet;
  ASSERT_TRUE(ReadFileBytes(std::wstring(KELVO_TEST_DATA_WIN) + L"\\unsigned-7z.cab", &unsignedCabinet));
  ExpectEachEndsWithItsCodeAndChangesNothing({
      {"damaged cabinet", L"IDR_7Z_CAB_DLL", L"DLL", "MSCF broken"},
      {"unsigned 7z.dll", L"IDR_7Z_CAB_DLL", L"DLL", unsignedCabinet}});
}

}  // namespace
