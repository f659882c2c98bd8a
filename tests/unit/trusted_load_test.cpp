// Trusted loading: which libraries load (signed, already in the process, or
// vouched for by the self-protection driver), and the system libraries that
// may only come from the system folder.
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/ProcessRunner.h"
#include "support/SelfProtectionDevice.h"
#include "support/TestFiles.h"
#include "unpack/BaseLibrary.h"
#include "unpack/FileTrust.h"
#include "unpack/TrustedLoad.h"

namespace {

std::wstring TrustData(const wchar_t* name) {
  return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + name;
}

// A signed DLL of the payload, copied under a name of its own so that no
// other test has it loaded.
std::wstring SignedDllCopy(const ScopedTempDir& dir, const wchar_t* name) {
  std::wstring copy = dir.Join(name);
  ::CopyFileW((PayloadSourceFolder() + L"\\KelvoEnterpriseShellExt.dll").c_str(), copy.c_str(),
              FALSE);
  return copy;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(TrustedLoad, SignedLibraryLoads) {
  ScopedTempDir dir;
  std::wstring dll = SignedDllCopy(dir, L"signed.dll");
  HMODULE module = LoadTrustedLibrary(dll.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(::GetProcAddress(module, "DllGetClassObject"), nullptr);
  ::FreeLibrary(module);
}

TEST(TrustedLoad, ChangedUnsignedForeignOrLevelThreeLibraryDoesNotLoad) {
  ScopedTempDir dir;
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(SignedDllCopy(dir, L"source.dll"), &bytes));
  bytes[bytes.size() / 2] ^= 0x20;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"changed.dll"), bytes));
  ASSERT_TRUE(CopyOwnProgram(dir.Join(L"unsigned.dll")));

  EXPECT_EQ(LoadTrustedLibrary(dir.Join(L"changed.dll").c_str()), nullptr);
  EXPECT_EQ(LoadTrustedLibrary(dir.Join(L"unsigned.dll").c_str()), nullptr);
  EXPECT_EQ(LoadTrustedLibrary(TrustData(L"foreign-key.dll").c_str()), nullptr);
  EXPECT_EQ(LoadTrustedLibrary(TrustData(L"level3.dll").c_str()), nullptr);
  EXPECT_EQ(::GetModuleHandleW(dir.Join(L"changed.dll").c_str()), nullptr);
  EXPECT_EQ(LoadTrustedLibrary(dir.Join(L"missing.dll").c_str()), nullptr);
  EXPECT_EQ(LoadTrustedLibrary(L""), nullptr);
}

TEST(TrustedLoad, LibraryAlreadyInTheProcessLoadsWithoutSignature) {
  std::wstring kernel = SystemFolder() + L"\\kernel32.dll";
  HMODULE module = LoadTrustedLibrary(kernel.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module, ::GetModuleHandleW(L"kernel32.dll"));
  ::FreeLibrary(module);
}

TEST(TrustedLoad, SelfProtectionVouchesForUnsignedLibrary) {
  ScopedTempDir dir;
  ASSERT_TRUE(CopyOwnProgram(dir.Join(L"unsigned.dll")));
  // An executable image loads as a library too; only whether it loads counts.
  ScopedSelfProtectionDevice device(1);
  HMODULE module = LoadTrustedLibrary(dir.Join(L"unsigned.dll").c_str());
  EXPECT_NE(module, nullptr);
  if (module) ::FreeLibrary(module);
}

TEST(TrustedLoad, WithoutTheBaseLibraryResourceNothingIsTrusted) {
  // This program carries no base-library cabinet.
  wchar_t path[MAX_PATH] = {L'x'};
  EXPECT_FALSE(UnpackBaseLibrary(path, MAX_PATH));
  EXPECT_EQ(path[0], L'\0');
  EXPECT_FALSE(LoadBaseLibrary());
  EXPECT_FALSE(IsTrustedFile((PayloadSourceFolder() + L"\\KelvoCloudEnterpriseSync.exe").c_str()));
}

TEST(SelfProtectionQuery, AbsentDeviceAnswersZero) {
  EXPECT_EQ(QuerySelfProtection(), 0u);
}

TEST(SelfProtectionQuery, DeviceIsAskedAboutThisProcess) {
  ScopedSelfProtectionDevice device(0x1234);
  EXPECT_EQ(QuerySelfProtection(), 0x1234u);
  EXPECT_EQ(ScopedSelfProtectionDevice::lastControlCode(), 0x22204Cu);
  EXPECT_EQ(ScopedSelfProtectionDevice::lastInput(), ::GetCurrentProcessId());
  EXPECT_EQ(ScopedSelfProtectionDevice::lastAccess(), static_cast<DWORD>(FILE_READ_ATTRIBUTES));
  EXPECT_EQ(ScopedSelfProtectionDevice::opens(), 1);
  EXPECT_EQ(ScopedSelfProtectionDevice::closes(), 1);
}

DelayLoadInfo InfoFor(const char* name) {
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = name;
  return info;
}

TEST(SystemDllLoadHook, ListedLibraryComesFromTheSystemFolder) {
  for (const char* name : {"version.dll", "VERSION.DLL", "psapi.dll", "Shlwapi.dll"}) {
    DelayLoadInfo info = InfoFor(name);
    HMODULE module = reinterpret_cast<HMODULE>(SystemDllLoadHook(dliNotePreLoadLibrary, &info));
    ASSERT_NE(module, nullptr) << name;
    std::wstring path = ModulePath(module);
    EXPECT_EQ(_wcsnicmp(path.c_str(), SystemFolder().c_str(), SystemFolder().size()), 0)
        << name << " came from " << std::string(path.begin(), path.end());
    ::FreeLibrary(module);
  }
}

// A program with real delay imports and the hook installed, beside a planted
// "TextSharping.dll" (listed, but not in the system folder).
std::wstring Probe() { return TrustData(L"planted\\delay_load_probe.exe"); }

TEST(DelayLoadedLibraries, ListedLibraryIsLoadedFromTheSystemFolder) {
  ProcessResult result = RunProgram(Probe(), L"version", 60000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
}

TEST(DelayLoadedLibraries, ListedLibraryOnlyBesideTheProgramFailsToLoad) {
  ProcessResult result = RunProgram(Probe(), L"planted", 60000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 2u);
  // Without the hook the plain search would have taken the planted copy.
  ProcessResult unhooked = RunProgram(Probe(), L"planted default", 60000);
  ASSERT_TRUE(unhooked.started);
  EXPECT_EQ(unhooked.exitCode, 1u);
}

TEST(DisplayScale, ShcoreBesideTheProgramIsNotLoaded) {
  ProcessResult result = RunProgram(Probe(), L"dpi", 60000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u) << "the planted SHCore.dll answered";
}

TEST(SystemDllLoadHook, UnlistedLibraryTakesTheDefaultSearch) {
  DelayLoadInfo info = InfoFor("kelvo-unlisted.dll");
  EXPECT_EQ(SystemDllLoadHook(dliNotePreLoadLibrary, &info), nullptr);
  EXPECT_EQ(::GetModuleHandleA("kelvo-unlisted.dll"), nullptr);
}

TEST(SystemDllLoadHook, OtherNotificationsTakeTheDefault) {
  DelayLoadInfo info = InfoFor("version.dll");
  for (unsigned note : {dliStartProcessing, dliNotePreGetProcAddress, dliFailLoadLib,
                        dliFailGetProc, dliNoteEndProcessing}) {
    EXPECT_EQ(SystemDllLoadHook(note, &info), nullptr) << note;
  }
}

TEST(SystemDllLoadHook, ListedLibraryMissingFromTheSystemFolderFails) {
  ASSERT_FALSE(FileExists(SystemFolder() + L"\\TextSharping.dll"));
  ::SetLastError(0);
  EXPECT_EQ(LoadFromSystemFolder("TextSharping.dll"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(IsSystemFolderLibrary("textsharping.DLL"));
  EXPECT_FALSE(IsSystemFolderLibrary("kernel32.dll"));
  EXPECT_FALSE(IsSystemFolderLibrary(nullptr));
}

}  // namespace
