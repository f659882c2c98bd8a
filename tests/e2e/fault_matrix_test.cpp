// A silent run over an intact install with a payload damaged the ways a
// download or a disk damages one: the installer ends by itself with the
// damaged-package code, and the installed files and the uninstall entry are
// exactly as before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/ExitCodes.h"
#include "support/InstalledMachine.h"
#include "support/InstallerResources.h"
#include "support/InstallerWindows.h"
#include "support/TestFiles.h"

namespace {

struct Damage {
  bool truncate;    // cut the archive there, or flip one bit there
  double position;  // fraction of the archive's size
};

class DamagedPayloadOverAnInstall : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedPayloadOverAnInstall, EndsWithItsCodeAndChangesNothing) {
  ASSERT_EQ(RunInstallerToEnd(L"/S /silentrun=0").exitCode, 0u);
  const std::wstring folder = DefaultInstallFolder();
  const std::vector<TreeEntry> files = ReadTree(folder);
  const wchar_t* const names[] = {L"InstallLocation", L"DisplayName", L"UninstallString",
                                  L"DisplayIcon", L"DisplayVersion", L"InstName", L"mid"};
  std::vector<std::wstring> entry;
  for (const wchar_t* name : names) entry.push_back(UninstallValue(name));

  std::string archive = InstallerResourceBytes(L"ID_KELVOZIP_MAIN", L"BINARY");
  ASSERT_GT(archive.size(), 1000u);
  size_t at = static_cast<size_t>(archive.size() * GetParam().position);
  if (GetParam().truncate) {
    archive.resize(at);
  } else {
    archive[at] = static_cast<char>(archive[at] ^ 0x10);
  }
  ScopedTempDir copies;
  std::wstring installer =
      CopyInstallerWithResource(copies.path(), L"ID_KELVOZIP_MAIN", L"BINARY", archive);
  ASSERT_FALSE(installer.empty());

  InstallerRun::Outcome outcome = RunInstallerToEnd(L"/S /silentrun=0", installer, 120000);
  EXPECT_EQ(outcome.exitCode, static_cast<DWORD>(kExitPackageDamaged));
  EXPECT_TRUE(outcome.messageBoxTexts.empty());
  EXPECT_TRUE(ReadTree(folder) == files) << "the installed files changed";
  for (size_t i = 0; i < entry.size(); ++i) EXPECT_EQ(UninstallValue(names[i]), entry[i]) << i;
}

// Cut early, in the middle and just before the archive's closing header;
// one bit flipped in the packed data's start, its middle and that header.
INSTANTIATE_TEST_SUITE_P(FaultMatrix, DamagedPayloadOverAnInstall,
                         ::testing::Values(Damage{true, 0.1}, Damage{true, 0.5},
                                           Damage{true, 0.999}, Damage{false, 0.0001},
                                           Damage{false, 0.5}, Damage{false, 0.9999}));

}  // namespace
