// The embedded signature: what the build signs verifies, and any change to a
// signed file, a missing signature or a foreign key makes it fail.
#include <gtest/gtest.h>

#include <string>

#include "support/InstallerResources.h"
#include "support/ProductCopies.h"
#include "support/TestFiles.h"
#include "unpack/SignatureCheck.h"

namespace {

constexpr size_t kTrailerSize = 24;
constexpr size_t kSignatureSize = 256;

std::wstring PayloadFile(const wchar_t* name) { return PayloadSourceFolder() + L"\\" + name; }

std::wstring TrustData(const wchar_t* name) {
  return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + name;
}

// A copy of a payload file with one byte flipped at offset.
std::wstring CopyWithFlippedByte(const ScopedTempDir& dir, const std::wstring& source,
                                 size_t offset) {
  std::string bytes;
  if (!ReadFileBytes(source, &bytes) || offset >= bytes.size()) return L"";
  bytes[offset] = static_cast<char>(bytes[offset] ^ 0x01);
  std::wstring copy = dir.Join(L"changed.exe");
  return WriteFileBytes(copy, bytes) ? copy : L"";
}

// The file offset of the entry point, somewhere in the code.
size_t CodeOffset(const std::string& image) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
  DWORD entry = nt->OptionalHeader.AddressOfEntryPoint;
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (entry >= section->VirtualAddress && entry < section->VirtualAddress + section->SizeOfRawData) {
      return entry - section->VirtualAddress + section->PointerToRawData;
    }
  }
  return 0;
}

TEST(SignatureCheck, EveryProgramAndDllOfThePayloadVerifiesAsBuilt) {
  const wchar_t* files[] = {L"KelvoCloudEnterpriseSync.exe", L"KelvoCloudIntro.exe",
                            L"uninstall.exe",                L"KelvoEnterpriseShellExt.dll",
                            L"KelvoCloudEnterpriseBar.dll",  L"KelvoEnterpriseShellExt64.dll",
                            L"KelvoCloudEnterpriseBar64.dll"};
  for (const wchar_t* name : files) {
    LONG level = -1;
    EXPECT_TRUE(VerifyFileSignature(PayloadFile(name).c_str(), &level)) << name;
    EXPECT_EQ(level, 1) << name;
  }
}

TEST(SignatureCheck, SignedProgramStillRuns) {
  // The signature sits past the image: the loader takes the file as before.
  HMODULE module = ::LoadLibraryExW(PayloadFile(L"KelvoEnterpriseShellExt.dll").c_str(), nullptr,
                                    DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(::GetProcAddress(module, "DllGetClassObject"), nullptr);
  ::FreeLibrary(module);
}

TEST(SignatureCheck, OneChangedByteAnywhereFailsTheCheck) {
  std::wstring source = PayloadFile(L"KelvoCloudEnterpriseSync.exe");
  std::string image;
  ASSERT_TRUE(ReadFileBytes(source, &image));
  ASSERT_GT(image.size(), kTrailerSize + kSignatureSize + 4096);
  struct Place {
    const char* what;
    size_t offset;
  } places[] = {
      {"DOS header", 2},
      {"PE header", static_cast<size_t>(reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data())->e_lfanew) + 8},
      {"code", CodeOffset(image)},
      {"last signed byte", image.size() - kTrailerSize - kSignatureSize - 1},
      {"signature", image.size() - kTrailerSize - kSignatureSize / 2},
      {"level", image.size() - kTrailerSize},
      {"key id", image.size() - kTrailerSize + 4},
      {"signature length", image.size() - kTrailerSize + 8},
      {"format", image.size() - kTrailerSize + 12},
      {"marker", image.size() - 1},
  };
  for (const Place& place : places) {
    ScopedTempDir dir;
    std::wstring changed = CopyWithFlippedByte(dir, source, place.offset);
    ASSERT_FALSE(changed.empty()) << place.what;
    LONG level = -1;
    EXPECT_FALSE(VerifyFileSignature(changed.c_str(), &level)) << place.what;
    EXPECT_EQ(level, -1) << place.what;
  }
}

TEST(SignatureCheck, UnsignedProgramFails) {
  ScopedTempDir dir;
  std::wstring unsigned_program = dir.Join(L"unsigned.exe");
  ASSERT_TRUE(CopyOwnProgram(unsigned_program));
  HANDLE file = ::CreateFileW(unsigned_program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  BYTE work[kSignatureWorkBufferSize];
  SignatureCheckRecord record = {};
  EXPECT_TRUE(CheckEmbeddedSignature(file, work, &record));
  ::CloseHandle(file);
  EXPECT_EQ(record.status, static_cast<DWORD>(kSignatureMissing));
  EXPECT_FALSE(VerifyFileSignature(unsigned_program.c_str(), nullptr));
}

TEST(SignatureCheck, SignatureByAKeyOutsideTheFourFails) {
  HANDLE file = ::CreateFileW(TrustData(L"foreign-key.dll").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  BYTE work[kSignatureWorkBufferSize];
  SignatureCheckRecord record = {};
  EXPECT_TRUE(CheckEmbeddedSignature(file, work, &record));
  ::CloseHandle(file);
  EXPECT_EQ(record.status, static_cast<DWORD>(kSignatureInvalid));
  EXPECT_FALSE(VerifyFileSignature(TrustData(L"foreign-key.dll").c_str(), nullptr));
}

TEST(SignatureCheck, SignedLevelIsReported) {
  LONG level = -1;
  EXPECT_TRUE(VerifyFileSignature(TrustData(L"level3.dll").c_str(), &level));
  EXPECT_EQ(level, 3);
}

TEST(SignatureCheck, TruncatedSignatureFails) {
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(PayloadFile(L"uninstall.exe"), &bytes));
  ScopedTempDir dir;
  // Cut inside the signature: the trailer is gone.
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"cut.exe"), bytes.substr(0, bytes.size() - 100)));
  EXPECT_FALSE(VerifyFileSignature(dir.Join(L"cut.exe").c_str(), nullptr));
  // Only the trailer left, claiming a signature longer than the file.
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"trailer.exe"), bytes.substr(bytes.size() - kTrailerSize)));
  EXPECT_FALSE(VerifyFileSignature(dir.Join(L"trailer.exe").c_str(), nullptr));
}

TEST(SignatureCheck, EmptyOrMissingFileFails) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"empty.exe"), ""));
  EXPECT_FALSE(VerifyFileSignature(dir.Join(L"empty.exe").c_str(), nullptr));
  EXPECT_FALSE(VerifyFileSignature(dir.Join(L"missing.exe").c_str(), nullptr));
  EXPECT_FALSE(VerifyFileSignature(L"", nullptr));
  EXPECT_FALSE(VerifyFileSignature(nullptr, nullptr));
}

TEST(SignatureCheck, InstalledCopyOfAnotherVersionStillVerifies) {
  ScopedTempDir dir;
  ASSERT_TRUE(MakeInstalledCopy(dir.path(), L"1.9.30.770",
                                {L"KelvoCloudEnterpriseSync.exe", L"KelvoEnterpriseShellExt.dll"}));
  for (const wchar_t* name : {L"KelvoCloudEnterpriseSync.exe", L"KelvoEnterpriseShellExt.dll"}) {
    LONG level = -1;
    EXPECT_TRUE(VerifyFileSignature(dir.Join(name).c_str(), &level)) << name;
    EXPECT_EQ(level, 1);
  }
}

TEST(SignatureCheck, FourKeysOfTheSpecifiedSize) {
  EXPECT_EQ(sizeof(VerificationKeys()), 4u * 264u);
  for (const auto& key : VerificationKeys()) {
    EXPECT_EQ(key[0] | (key[1] << 8) | (key[2] << 16), 65537) << "public exponent";
  }
}

}  // namespace
