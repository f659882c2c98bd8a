// Whether a product file may be started or a library loaded. This program
// carries the base library's cabinet, as the installer does.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/InstalledMachine.h"
#include "support/InstallerRun.h"
#include "support/RegistrySandbox.h"
#include "support/SeamFakes.h"
#include "support/TestFiles.h"
#include "support/WindowsNames.h"
#include "unpack/BaseLibrary.h"
#include "unpack/FileTrust.h"
#include "unpack/KelvoPublicDLLHelper.h"
#include "unpack/TrustedLoad.h"

namespace {

std::wstring TrustData(const std::wstring& name) { return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + name; }
const std::wstring kProgram = PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe";

// A signed payload file as built and with one byte changed, an unsigned
// program, a missing file.
struct Candidates {
  ScopedTempDir dir;
  std::wstring signedCopy = dir.Join(L"signed.dll"), changed = dir.Join(L"changed.dll"),
               unsignedCopy = dir.Join(L"unsigned.dll"), missing = dir.Join(L"missing.dll");
  Candidates() {
    std::string bytes;
    ReadFileBytes(PayloadFolder() + L"\\KelvoEnterpriseShellExt.dll", &bytes);
    WriteFileBytes(signedCopy, bytes);
    bytes[bytes.size() / 3] ^= 0x04;
    WriteFileBytes(changed, bytes);
    CopyUnsignedProgram(unsignedCopy);
  }
};

// The process-wide binding loads once: a case that needs it untouched needs a
// process of its own, as ctest runs every case.
#define REQUIRE_UNTOUCHED_BASE_LIBRARY()            \
  if (CKelvoBaseExportFuncs::Instance().attempted()) \
  GTEST_SKIP() << "the base library was already bound in this process"

TEST(FileTrust, SignedFilesAreTrustedChangedUnsignedAndMissingOnesNot) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  Candidates files;
  // Two threads asking at once share one load.
  BOOL answers[2] = {};
  std::thread first([&] { answers[0] = IsTrustedFile(kProgram.c_str()); });
  std::thread second([&] { answers[1] = IsTrustedFile(files.signedCopy.c_str()); });
  first.join();
  second.join();
  EXPECT_TRUE(answers[0] && answers[1]);
  EXPECT_TRUE(CKelvoBaseExportFuncs::Instance().ready());
  for (const std::wstring& path : {files.changed, files.unsignedCopy, files.missing, std::wstring()}) {
    EXPECT_FALSE(IsTrustedFile(path.c_str())) << ToUtf8(path);
  }
}

TEST(FileTrust, LevelThreeFromTheBaseLibraryMeansNotTrusted) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  ASSERT_TRUE(CKelvoBaseExportFuncs::Instance().LoadOnce(TrustData(L"distrust-all\\Kelvobase.dll").c_str()));
  EXPECT_FALSE(IsTrustedFile(kProgram.c_str()));
}

// A base library changed since the build signed it is never loaded.
TEST(BaseLibraryBinding, ChangedLibraryIsNotLoaded) {
  ScopedTempDir dir;
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(BuiltProgram(L"product\\base\\Kelvobase.dll"), &bytes));
  bytes[bytes.size() / 2] ^= 0x10;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"Kelvobase.dll"), bytes));
  CKelvoBaseExportFuncs changed;
  EXPECT_FALSE(changed.LoadOnce(dir.Join(L"Kelvobase.dll").c_str()));
  EXPECT_EQ(::GetModuleHandleW(dir.Join(L"Kelvobase.dll").c_str()), nullptr);
}

// Files in the suite's folder need no signature work while its driver
// answers; elsewhere, or without the driver, the signature decides.
TEST(FileTrust, SuiteFolderIsTrustedOnlyWhileTheDriverVouches) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  RegistrySandbox registry;
  ScopedTempDir suite, elsewhere;
  ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, names::kSuiteAppPathsKey, L"Path", suite.path()));
  ASSERT_TRUE(CopyUnsignedProgram(suite.Join(L"KelvoSafeTool.exe")));
  ASSERT_TRUE(CopyUnsignedProgram(elsewhere.Join(L"KelvoSafeTool.exe")));
  {
    fakes::ScopedSeam seam;
    fakes::UseSelfProtectionDevice(1);
    std::wstring upper = suite.Join(L"KelvoSafeTool.exe");
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(IsTrustedFile(upper.c_str()));
    EXPECT_FALSE(CKelvoBaseExportFuncs::Instance().attempted()) << "the signature was checked";
    EXPECT_FALSE(IsTrustedFile(elsewhere.Join(L"KelvoSafeTool.exe").c_str()));
  }
  EXPECT_FALSE(IsTrustedFile(suite.Join(L"KelvoSafeTool.exe").c_str()));
}

TEST(TrustedLoad, LoadsWhatIsSignedLoadedAlreadyOrVouchedForAndNothingElse) {
  Candidates files;
  HMODULE module = LoadTrustedLibrary(files.signedCopy.c_str());
  ASSERT_TRUE(module);
  EXPECT_NE(::GetProcAddress(module, "DllGetClassObject"), nullptr);
  ::FreeLibrary(module);
  for (const std::wstring& path : {files.changed, files.unsignedCopy, files.missing,
                                   TrustData(L"foreign-key.dll"), TrustData(L"level3.dll"), std::wstring()}) {
    EXPECT_EQ(LoadTrustedLibrary(path.c_str()), nullptr) << ToUtf8(path);
  }
  EXPECT_EQ(::GetModuleHandleW(files.changed.c_str()), nullptr);
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  module = LoadTrustedLibrary((std::wstring(system) + L"\\kernel32.dll").c_str());
  EXPECT_EQ(module, ::GetModuleHandleW(L"kernel32.dll")) << "already in the process";
  ::FreeLibrary(module);

  fakes::ScopedSeam seam;
  fakes::UseSelfProtectionDevice(0x1234);
  EXPECT_EQ(QuerySelfProtection(), 0x1234u);
  ASSERT_EQ(fakes::queries.size(), 1u);
  EXPECT_EQ(fakes::queries[0].code, 0x22204Cu);
  EXPECT_EQ(fakes::queries[0].input, ::GetCurrentProcessId());
  EXPECT_EQ(fakes::queries[0].access, static_cast<DWORD>(FILE_READ_ATTRIBUTES));
  EXPECT_EQ(fakes::handlesOpen, 0);
  module = LoadTrustedLibrary(files.unsignedCopy.c_str());
  EXPECT_NE(module, nullptr) << "the driver vouches for this process";
  if (module) ::FreeLibrary(module);
}

// A program with real delay imports and the installer's hook (and no other
// guard), beside a planted "TextSharping.dll" (listed, missing from the
// system folder): exit 0 is the right library, 1 the planted one, 2 none.
TEST(SystemLibraries, ComeOnlyFromTheSystemFolderNeverFromBesideTheProgram) {
  const std::wstring probe = TrustData(L"planted\\delay_load_probe.exe");
  EXPECT_EQ(InstallerRun(L"version", probe).WaitForExit(), 0u);
  EXPECT_EQ(InstallerRun(L"planted", probe).WaitForExit(), 2u);
  EXPECT_EQ(InstallerRun(L"planted default", probe).WaitForExit(), 1u) << "the plain search takes the planted copy";
}

}  // namespace
