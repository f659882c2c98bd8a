#include "support/TestSigning.h"

#include <bcrypt.h>
#include <string.h>

#include "support/TestFiles.h"

namespace {

constexpr char kMagic[8] = {'K', 'V', 'S', 'I', 'G', 'N', '0', '1'};
constexpr size_t kTrailerSize = 24;
constexpr DWORD kModulusBytes = 256;

DWORD ReadDword(const std::string& bytes, size_t offset) {
  DWORD value = 0;
  memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

void AppendDword(std::string* bytes, DWORD value) {
  bytes->append(reinterpret_cast<const char*>(&value), sizeof(value));
}

bool EndsInBlock(const std::string& bytes) {
  return bytes.size() >= kTrailerSize &&
         memcmp(bytes.data() + bytes.size() - 8, kMagic, sizeof(kMagic)) == 0;
}

std::string WithoutBlock(const std::string& bytes) {
  if (!EndsInBlock(bytes)) return bytes;
  DWORD length = ReadDword(bytes, bytes.size() - kTrailerSize + 8);
  if (length > bytes.size() - kTrailerSize) return bytes;
  return bytes.substr(0, bytes.size() - kTrailerSize - length);
}

bool Sha256(const void* data, size_t size, BYTE (&digest)[32]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
    return false;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
            BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)),
                           static_cast<ULONG>(size), 0) == 0 &&
            BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok;
}

}  // namespace

bool HasSignatureBlock(const std::wstring& path) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) && EndsInBlock(bytes);
}

bool SignForTests(const std::wstring& path, LONG level) {
  std::string blob, bytes;
  if (!ReadFileBytes(std::wstring(KELVO_TRUST_DATA_WIN) + L"\\signing-key.blob", &blob) ||
      !ReadFileBytes(path, &bytes)) {
    return false;
  }
  std::string body = WithoutBlock(bytes);

  // The key id: the first four bytes of SHA-256 over the modulus.
  const BCRYPT_RSAKEY_BLOB* header = reinterpret_cast<const BCRYPT_RSAKEY_BLOB*>(blob.data());
  if (blob.size() < sizeof(*header) || header->cbModulus != kModulusBytes) return false;
  const char* modulus = blob.data() + sizeof(*header) + header->cbPublicExp;
  BYTE modulusHash[32];
  if (!Sha256(modulus, kModulusBytes, modulusHash)) return false;
  DWORD keyId = 0;
  memcpy(&keyId, modulusHash, sizeof(keyId));

  std::string trailer;
  AppendDword(&trailer, static_cast<DWORD>(level));
  AppendDword(&trailer, keyId);
  AppendDword(&trailer, kModulusBytes);
  AppendDword(&trailer, 1);
  trailer.append(kMagic, sizeof(kMagic));

  std::string signedBytes = body + trailer;
  BYTE digest[32];
  if (!Sha256(signedBytes.data(), signedBytes.size(), digest)) return false;
  BCRYPT_ALG_HANDLE rsa = nullptr;
  if (BCryptOpenAlgorithmProvider(&rsa, BCRYPT_RSA_ALGORITHM, nullptr, 0) != 0) return false;
  BCRYPT_KEY_HANDLE key = nullptr;
  bool ok = BCryptImportKeyPair(rsa, nullptr, BCRYPT_RSAPRIVATE_BLOB, &key,
                                reinterpret_cast<PUCHAR>(&blob[0]),
                                static_cast<ULONG>(blob.size()), 0) == 0;
  std::string signature(kModulusBytes, '\0');
  ULONG written = 0;
  BCRYPT_PKCS1_PADDING_INFO padding = {BCRYPT_SHA256_ALGORITHM};
  ok = ok && BCryptSignHash(key, &padding, digest, sizeof(digest),
                            reinterpret_cast<PUCHAR>(&signature[0]), kModulusBytes, &written,
                            BCRYPT_PAD_PKCS1) == 0 &&
       written == kModulusBytes;
  if (key) BCryptDestroyKey(key);
  BCryptCloseAlgorithmProvider(rsa, 0);
  return ok && WriteFileBytes(path, body + signature + trailer);
}
