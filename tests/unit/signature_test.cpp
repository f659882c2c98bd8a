// The embedded signature the build appends to the files it signs.
#include <gtest/gtest.h>

#include <string>

#include "support/InstalledMachine.h"
#include "support/TestFiles.h"
#include "unpack/SignatureCheck.h"

namespace {

constexpr size_t kTrailerSize = 24;
constexpr size_t kSignatureSize = 256;

std::wstring TrustData(const wchar_t* name) { return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + name; }

TEST(Signature, EveryPayloadFileAndEveryBuiltVersionVerifiesWithLevelOne) {
  for (const std::wstring& file :
       {PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe", PayloadFolder() + L"\\KelvoCloudIntro.exe",
        PayloadFolder() + L"\\uninstall.exe", PayloadFolder() + L"\\KelvoEnterpriseShellExt.dll",
        PayloadFolder() + L"\\KelvoCloudEnterpriseBar64.dll",
        StandInOfVersion(L"2.0.0.1124", L"KelvoCloudEnterpriseSync.exe"),
        StandInOfVersion(L"1.0.1.1029", L"KelvoCloudEnterpriseBar.dll")}) {
    LONG level = -1;
    EXPECT_TRUE(VerifyFileSignature(file.c_str(), &level)) << ToUtf8(file);
    EXPECT_EQ(level, 1) << ToUtf8(file);
  }
  LONG level = -1;
  EXPECT_TRUE(VerifyFileSignature(TrustData(L"level3.dll").c_str(), &level));
  EXPECT_EQ(level, 3);
}

TEST(Signature, OneChangedByteAnywhereFailsTheCheck) {
  std::string image;
  ASSERT_TRUE(ReadFileBytes(PayloadFolder() + L"\\KelvoCloudEnterpriseSync.exe", &image));
  const size_t end = image.size();
  const size_t peHeader = *reinterpret_cast<const LONG*>(image.data() + 0x3C);
  // Headers, code, the last signed byte, the signature and each trailer field.
  for (size_t offset : {size_t{2}, peHeader + 8, end / 3, end - kTrailerSize - kSignatureSize - 1,
                        end - kTrailerSize - kSignatureSize / 2, end - kTrailerSize, end - kTrailerSize + 4,
                        end - kTrailerSize + 8, end - kTrailerSize + 12, end - 1}) {
    ScopedTempDir dir;
    std::string changed = image;
    changed[offset] ^= 0x01;
    ASSERT_TRUE(WriteFileBytes(dir.Join(L"changed.exe"), changed));
    LONG level = -1;
    EXPECT_FALSE(VerifyFileSignature(dir.Join(L"changed.exe").c_str(), &level)) << "offset " << offset;
    EXPECT_EQ(level, -1);
  }
}

TEST(Signature, MissingCutForeignOrAbsentSignatureFails) {
  ScopedTempDir dir;
  ASSERT_TRUE(CopyUnsignedProgram(dir.Join(L"unsigned.exe")));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(PayloadFolder() + L"\\uninstall.exe", &bytes));
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"cut.exe"), bytes.substr(0, bytes.size() - 100)));
  // Only the trailer, claiming a signature longer than the file.
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"trailer.exe"), bytes.substr(bytes.size() - kTrailerSize)));
  ASSERT_TRUE(WriteFileBytes(dir.Join(L"empty.exe"), ""));
  for (const wchar_t* name : {L"unsigned.exe", L"cut.exe", L"trailer.exe", L"empty.exe", L"missing.exe"}) {
    EXPECT_FALSE(VerifyFileSignature(dir.Join(name).c_str(), nullptr)) << ToUtf8(name);
  }
  EXPECT_FALSE(VerifyFileSignature(TrustData(L"foreign-key.dll").c_str(), nullptr));
  EXPECT_FALSE(VerifyFileSignature(L"", nullptr));
  EXPECT_FALSE(VerifyFileSignature(nullptr, nullptr));
}

}  // namespace
