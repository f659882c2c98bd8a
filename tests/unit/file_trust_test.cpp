// Whether a product file may be started: the base library's verdict through
// either of its interfaces, its one-time load, and the security suite's own
// folder under its self-protection driver. This program carries the base
// library's cabinet resource as the installer does.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <string>
#include <thread>

#include "support/InstallerResources.h"
#include "support/ProcessRunner.h"
#include "support/RegistrySandbox.h"
#include "support/SelfProtectionDevice.h"
#include "support/TestFiles.h"
#include "unpack/BaseLibrary.h"
#include "unpack/FileTrust.h"
#include "unpack/KelvoPublicDLLHelper.h"

namespace {

constexpr wchar_t kSuiteAppPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KelvoSafe.exe";

std::wstring PayloadProgram() {
  return PayloadSourceFolder() + L"\\KelvoCloudEnterpriseSync.exe";
}

std::wstring Variant(const wchar_t* folder) {
  return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + folder + L"\\Kelvobase.dll";
}

// Copies of the payload program: as built, with one byte changed, unsigned.
struct Candidates {
  ScopedTempDir dir;
  std::wstring signedCopy = dir.Join(L"signed.exe");
  std::wstring changed = dir.Join(L"changed.exe");
  std::wstring unsignedCopy = dir.Join(L"unsigned.exe");
  Candidates() {
    std::string bytes;
    ReadFileBytes(PayloadProgram(), &bytes);
    WriteFileBytes(signedCopy, bytes);
    bytes[bytes.size() / 3] ^= 0x04;
    WriteFileBytes(changed, bytes);
    CopyOwnProgram(unsignedCopy);
  }
};

TEST(FileTrust, PayloadProgramAsBuiltIsTrusted) {
  EXPECT_TRUE(IsTrustedFile(PayloadProgram().c_str()));
  CKelvoBaseExportFuncs& base = CKelvoBaseExportFuncs::Instance();
  EXPECT_TRUE(base.ready());
  // Loaded from the folder it was unpacked into, under the temporary folder.
  wchar_t loaded[MAX_PATH] = {}, temp[MAX_PATH] = {};
  ::GetModuleFileNameW(base.module(), loaded, MAX_PATH);
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring path = loaded;
  EXPECT_EQ(path.substr(path.size() - 14), L"\\Kelvobase.dll");
  wchar_t longTemp[MAX_PATH] = {}, longLoaded[MAX_PATH] = {};
  ::GetLongPathNameW(temp, longTemp, MAX_PATH);
  ::GetLongPathNameW(loaded, longLoaded, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(longLoaded, longTemp, wcslen(longTemp)), 0);
}

TEST(FileTrust, ChangedUnsignedOrMissingFileIsNotTrusted) {
  Candidates files;
  EXPECT_TRUE(IsTrustedFile(files.signedCopy.c_str()));
  EXPECT_FALSE(IsTrustedFile(files.changed.c_str()));
  EXPECT_FALSE(IsTrustedFile(files.unsignedCopy.c_str()));
  EXPECT_FALSE(IsTrustedFile(files.dir.Join(L"missing.exe").c_str()));
  EXPECT_FALSE(IsTrustedFile(L""));
  EXPECT_FALSE(IsTrustedFile(nullptr));
}

// The process-wide binding is loaded once: tests that need it untouched run
// in a process of their own (as ctest runs every test).
#define REQUIRE_UNTOUCHED_BASE_LIBRARY()                                   \
  if (CKelvoBaseExportFuncs::Instance().attempted())                      \
  GTEST_SKIP() << "the base library was already bound in this process"

TEST(FileTrust, LevelThreeFromTheBaseLibraryMeansNotTrusted) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  // The process's base library is one that distrusts every file.
  ASSERT_TRUE(CKelvoBaseExportFuncs::Instance().LoadOnce(Variant(L"distrust-all").c_str()));
  LONG level = 0;
  EXPECT_TRUE(CKelvoBaseExportFuncs::Instance().CheckFileTrust(PayloadProgram().c_str(), &level));
  EXPECT_EQ(level, 3);
  EXPECT_FALSE(IsTrustedFile(PayloadProgram().c_str()));
}

TEST(FileTrust, TwoThreadsAskingAtOnceShareOneLoad) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  BOOL answers[2] = {FALSE, FALSE};
  std::thread first([&] { answers[0] = IsTrustedFile(PayloadProgram().c_str()); });
  std::thread second([&] { answers[1] = IsTrustedFile(PayloadProgram().c_str()); });
  first.join();
  second.join();
  EXPECT_TRUE(answers[0]);
  EXPECT_TRUE(answers[1]);
  // One base library in the process, however many folders were unpacked.
  HMODULE modules[512];
  DWORD bytes = 0;
  ASSERT_TRUE(::EnumProcessModules(::GetCurrentProcess(), modules, sizeof(modules), &bytes));
  int bases = 0;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
    wchar_t name[MAX_PATH] = {};
    ::GetModuleBaseNameW(::GetCurrentProcess(), modules[i], name, MAX_PATH);
    if (_wcsicmp(name, L"Kelvobase.dll") == 0) ++bases;
  }
  EXPECT_EQ(bases, 1);
}

TEST(BaseLibraryBinding, TrustQueryAnswersWithTheSignatureLevel) {
  Candidates files;
  CKelvoBaseExportFuncs base;
  ASSERT_TRUE(base.LoadOnce(BuiltProgram(L"product\\base\\Kelvobase.dll").c_str()));
  LONG level = 0;
  EXPECT_TRUE(base.CheckFileTrust(files.signedCopy.c_str(), &level));
  EXPECT_EQ(level, 1);
  EXPECT_TRUE(base.CheckFileTrust(files.changed.c_str(), &level));
  EXPECT_EQ(level, 3);
  EXPECT_FALSE(base.CheckFileTrust(files.dir.Join(L"missing.exe").c_str(), &level));
}

TEST(BaseLibraryBinding, OnlyCreateObjectIsReadyAndAnswersThroughTheFileObject) {
  Candidates files;
  CKelvoBaseExportFuncs base;
  ASSERT_TRUE(base.LoadOnce(Variant(L"create-object-only").c_str()));
  EXPECT_TRUE(base.ready());
  LONG level = 0;
  EXPECT_TRUE(base.CheckFileTrust(files.signedCopy.c_str(), &level));
  EXPECT_EQ(level, 1);
  EXPECT_TRUE(base.CheckFileTrust(files.changed.c_str(), &level));
  EXPECT_EQ(level, 3);
  EXPECT_TRUE(base.CheckFileTrust(files.unsignedCopy.c_str(), &level));
  EXPECT_EQ(level, 3);
  level = 0;
  EXPECT_FALSE(base.CheckFileTrust(files.dir.Join(L"missing.exe").c_str(), &level));
  EXPECT_EQ(level, -1);
}

TEST(BaseLibraryBinding, NeitherExportIsUnloadedAndNeverRetried) {
  CKelvoBaseExportFuncs base;
  std::wstring library = Variant(L"no-exports");
  EXPECT_FALSE(base.LoadOnce(library.c_str()));
  EXPECT_TRUE(base.attempted());
  EXPECT_FALSE(base.ready());
  EXPECT_EQ(base.module(), nullptr);
  EXPECT_EQ(::GetModuleHandleW(library.c_str()), nullptr);
  // A good library offered later is not even looked at.
  EXPECT_FALSE(base.LoadOnce(Variant(L"create-object-only").c_str()));
  EXPECT_EQ(::GetModuleHandleW(Variant(L"create-object-only").c_str()), nullptr);
  LONG level = 0;
  EXPECT_FALSE(base.CheckFileTrust(PayloadProgram().c_str(), &level));
}

TEST(BaseLibraryBinding, ChangedBaseLibraryIsNotLoaded) {
  ScopedTempDir dir;
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(Variant(L"create-object-only"), &bytes));
  bytes[bytes.size() / 2] ^= 0x10;
  std::wstring changed = dir.Join(L"Kelvobase.dll");
  ASSERT_TRUE(WriteFileBytes(changed, bytes));
  CKelvoBaseExportFuncs base;
  EXPECT_FALSE(base.LoadOnce(changed.c_str()));
  EXPECT_EQ(::GetModuleHandleW(changed.c_str()), nullptr);
}

TEST(BaseLibraryUnpack, WritesTheLibraryPathIntoTheBuffer) {
  wchar_t path[MAX_PATH] = {};
  ASSERT_TRUE(UnpackBaseLibrary(path, MAX_PATH));
  EXPECT_EQ(path[1], L':');
  EXPECT_TRUE(FileExists(path));
  std::string unpacked, built;
  ASSERT_TRUE(ReadFileBytes(path, &unpacked));
  ASSERT_TRUE(ReadFileBytes(BuiltProgram(L"product\\base\\Kelvobase.dll"), &built));
  EXPECT_TRUE(unpacked == built);
  wchar_t shortBuffer[8] = {};
  ASSERT_TRUE(UnpackBaseLibrary(shortBuffer, 8));
  EXPECT_EQ(wcslen(shortBuffer), 7u);
}

class SuiteFolder : public ::testing::Test {
 protected:
  SuiteFolder() {
    // Without the trailing backslash, as installers often write it.
    WriteRegString(HKEY_LOCAL_MACHINE, kSuiteAppPath, L"Path", suite_.path());
    CopyOwnProgram(suite_.Join(L"KelvoSafeTool.exe"));
  }
  RegistrySandbox registry_;
  ScopedTempDir suite_;
};

TEST_F(SuiteFolder, FileIsTrustedWithoutSignatureWorkWhenTheDriverAnswers) {
  REQUIRE_UNTOUCHED_BASE_LIBRARY();
  ScopedSelfProtectionDevice device(1);
  std::wstring upper = suite_.Join(L"KelvoSafeTool.exe");
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  EXPECT_TRUE(IsTrustedFile(suite_.Join(L"KelvoSafeTool.exe").c_str()));
  EXPECT_TRUE(IsTrustedFile(upper.c_str()));
  EXPECT_FALSE(CKelvoBaseExportFuncs::Instance().attempted());
  EXPECT_EQ(ScopedSelfProtectionDevice::lastControlCode(), 0x22204Cu);
}

TEST_F(SuiteFolder, FileOutsideTheFolderStillNeedsItsSignature) {
  ScopedSelfProtectionDevice device(1);
  ScopedTempDir elsewhere;
  ASSERT_TRUE(CopyOwnProgram(elsewhere.Join(L"KelvoSafeTool.exe")));
  EXPECT_FALSE(IsTrustedFile(elsewhere.Join(L"KelvoSafeTool.exe").c_str()));
  EXPECT_TRUE(CKelvoBaseExportFuncs::Instance().attempted());
}

TEST_F(SuiteFolder, WithoutTheDriverTheSignatureDecides) {
  EXPECT_FALSE(IsTrustedFile(suite_.Join(L"KelvoSafeTool.exe").c_str()));
  ASSERT_TRUE(::CopyFileW(PayloadProgram().c_str(), suite_.Join(L"signed.exe").c_str(), FALSE));
  EXPECT_TRUE(IsTrustedFile(suite_.Join(L"signed.exe").c_str()));
}

}  // namespace
