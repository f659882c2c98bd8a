// A silent run over an intact install with its package damaged, or with a new
// file a virus scanner holds: each ends with the damaged-package code, and
// the install (a loaded shell extension among it) is exactly as before.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/ShortcutFiles.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"

namespace {

// Opens the file of this name without sharing as soon as it appears anywhere
// below folder, as a virus scanner does; true once *held has it.
bool HoldFileBelow(const std::wstring& folder, const wchar_t* name, HANDLE* held) {
  for (const std::wstring& entry : ListFolder(folder)) {
    const std::wstring path = folder + L"\\" + entry;
    if (entry == name) *held = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (*held != INVALID_HANDLE_VALUE || (IsFolder(path) && HoldFileBelow(path, name, held))) return true;
  }
  return false;
}

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

  // With heldName, a scanner holds the new file of that name.
  void ExpectEachEndsWithItsCodeAndChangesNothing(const std::vector<Damage>& damages,
                                                  const wchar_t* heldName = nullptr) {
    auto machine = [&] {
      return std::make_tuple(ReadTree(folder_), RegValues(HKEY_LOCAL_MACHINE, names::kUninstallKey),
                             ReadTree(StartMenuGroup(names::kName)), FileText(DesktopShortcut(names::kName)));
    };
    const auto before = machine();
    const std::wstring roots[] = {_wgetenv(L"TEMP"), std::wstring(_wgetenv(L"windir")) + L"\\Temp"};
    for (const Damage& damage : damages) {
      SCOPED_TRACE(damage.what);
      ScopedTempDir copies;
      std::wstring installer = CopyInstallerWithResource(copies.path(), damage.name, damage.type, damage.bytes);
      ASSERT_FALSE(installer.empty());
      HANDLE held = INVALID_HANDLE_VALUE;
      InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0", installer, [&] {
        for (const std::wstring& root : roots) {
          if (heldName && held == INVALID_HANDLE_VALUE) HoldFileBelow(root, heldName, &held);
        }
      });
      EXPECT_TRUE(!heldName || (held != INVALID_HANDLE_VALUE && ::CloseHandle(held))) << "the scanner never saw it";
      EXPECT_EQ(outcome.exitCode, 5u);
      EXPECT_TRUE(outcome.messageBoxTexts.empty());
      EXPECT_TRUE(machine() == before) << "the installed files, the entry or the shortcuts changed";
    }
  }

  const std::wstring folder_ = DefaultInstallFolder();
  HMODULE shellExtension_ = nullptr;
};

// An archive whose item would land outside the folder it is unpacked into
// ("..\evil.txt") is a damaged one too.
TEST_F(DamagedPackageOverAnInstall, ArchiveCutBitFlippedAnywhereOrLeavingItsFolder) {
  const std::string archive = InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY");
  std::string escaping;
  ASSERT_TRUE(ReadFileBytes(std::wstring(KELVO_TEST_DATA_WIN) + L"\\escape.7z", &escaping));
  ASSERT_GT(archive.size(), 1000000u);
  auto cut = [&](double at) { return archive.substr(0, static_cast<size_t>(archive.size() * at)); };
  auto flipped = [&](double at) {
    std::string bytes = archive;
    bytes[static_cast<size_t>(bytes.size() * at)] ^= 0x10;
    return bytes;
  };
  ExpectEachEndsWithItsCodeAndChangesNothing({
      {"cut at 10 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.1)},
      {"cut at 50 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.5)},
      {"cut at 99.9 %", L"ID_KELVOZIP_MAIN", L"BINARY", cut(0.999)},
      {"bit flipped at 0.01 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.0001)},
      {"bit flipped at 50 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.5)},
      {"bit flipped at 99.99 %", L"ID_KELVOZIP_MAIN", L"BINARY", flipped(0.9999)},
      {"item ..\\evil.txt", L"ID_KELVOZIP_MAIN", L"BINARY", escaping}});
  EXPECT_FALSE(FileExists(L"C:\\Program Files (x86)\\Kelvo\\evil.txt"));
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

// An overwrite whose new files all differ, one held by a scanner longer than
// the install waits or an installed one held by another program: the files
// placed before it go back. With nothing held, the damaged 64-bit toolbar ends
// the run: the two shell DLLs before it are registered, the one after it not.
TEST_F(DamagedPackageOverAnInstall, FileThatCannotTakeItsPlaceUndoesEveryPlacedFile) {
  std::vector<Damage> altered = {{"data files changed", L"ID_KELVOZIP_MAIN", L"BINARY", ""}};
  ASSERT_TRUE(ReadFileBytes(std::wstring(KELVO_TEST_DATA_WIN) + L"\\altered-payload.7z", &altered[0].bytes));
  ExpectEachEndsWithItsCodeAndChangesNothing(altered, L"page_22.html");

  const std::wstring registered = L"Software\\KelvoStandIn\\Registered";
  ASSERT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, registered.c_str()), ERROR_SUCCESS);
  ScopedTempDir copies;
  InstallerRun run(L"/S /silentrun=0",
                   CopyInstallerWithResource(copies.path(), L"ID_KELVOZIP_MAIN", L"BINARY", altered[0].bytes));
  InstallerRun::Outcome outcome = run.PlayToEnd(IDNO);
  EXPECT_EQ(outcome.exitCode, 0u);
  ASSERT_EQ(outcome.messageBoxTexts.size(), 1u);
  EXPECT_NE(outcome.messageBoxTexts[0].find(folder_ + L"\\KelvoCloudEnterpriseBar64.dll"), std::wstring::npos);
  for (const wchar_t* dll : {L"KelvoEnterpriseShellExt64.dll", L"KelvoEnterpriseShellExt.dll",
                             L"KelvoCloudEnterpriseBar64.dll", L"KelvoCloudEnterpriseBar.dll"}) {
    EXPECT_EQ(RegText(HKEY_CURRENT_USER, registered, dll), wcsstr(dll, L"Bar") ? L"" : L"DllRegisterServer")
        << ToUtf8(dll);
  }

  PinnedFile pinned(folder_ + L"\\KelvoCloudIntro.xml");
  ASSERT_TRUE(pinned.ok());
  ExpectEachEndsWithItsCodeAndChangesNothing(altered);
}

}  // namespace
