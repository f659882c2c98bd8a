// The embedded signature the build appends to the files it signs.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <string>

#include "support/InstalledMachine.h"
#include "support/TestFiles.h"
#include "unpack/Sha256.h"
#include "unpack/SignatureCheck.h"

namespace {

constexpr size_t kTrailerSize = 24;
constexpr size_t kSignatureSize = 256;

std::wstring TrustData(const wchar_t* name) { return std::wstring(KELVO_TRUST_DATA_WIN) + L"\\" + name; }

std::string Sha256Hex(const std::string& text, size_t piece) {
  Sha256 hash;
  for (size_t at = 0; at < text.size(); at += piece) {
    hash.Update(reinterpret_cast<const BYTE*>(text.data()) + at, std::min(piece, text.size() - at));
  }
  BYTE digest[Sha256::kDigestSize];
  hash.Finish(digest);
  char hex[2 * Sha256::kDigestSize + 1];
  for (DWORD i = 0; i < Sha256::kDigestSize; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}

// The standard's test messages: 3 bytes, and 56 whose padding takes a second
// block; whole and a byte at a time.
TEST(Signature, Sha256GivesTheStandardDigests) {
  const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  for (size_t piece : {size_t{1}, size_t{64}}) {
    EXPECT_EQ(Sha256Hex("abc", piece), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(twoBlocks, piece), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  }
}

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

// Signed by hand with the build's key: encoded as PKCS#1 v1.5 signs, it
// verifies; with one padding byte changed, or the value plus the modulus
// (whose power is the same), it does not.
TEST(Signature, OnlyTheExactEncodingBelowTheModulusVerifies) {
  LONG level = -1;
  EXPECT_TRUE(VerifyFileSignature(TrustData(L"hand-signed.dll").c_str(), &level));
  EXPECT_EQ(level, 1);
  EXPECT_FALSE(VerifyFileSignature(TrustData(L"bad-padding.dll").c_str(), nullptr));
  EXPECT_FALSE(VerifyFileSignature(TrustData(L"beyond-modulus.dll").c_str(), nullptr));
}

}  // namespace
