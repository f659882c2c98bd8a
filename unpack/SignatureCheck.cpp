#include "unpack/SignatureCheck.h"

#include <wincrypt.h>
#include <string.h>
#include <wchar.h>

namespace {

constexpr char kMagic[8] = {'K', 'V', 'S', 'I', 'G', 'N', '0', '1'};
constexpr DWORD kFormat = 1;
constexpr DWORD kModulusBytes = 256;

// The block's fixed tail, the last bytes of a signed file.
#pragma pack(push, 1)
struct SignatureTrailer {
  DWORD level;
  DWORD keyId;
  DWORD signatureLength;
  DWORD format;
  char magic[8];
};
#pragma pack(pop)
static_assert(sizeof(SignatureTrailer) == 24, "trailer layout is fixed");

const BYTE kKeys[kVerificationKeyCount][kVerificationKeySize] = {
#include "VerificationKeys.inc"
};

DWORD ReadDword(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// CryptoAPI's AES provider verifies RSA PKCS#1 v1.5 over SHA-256 on every
// system from Windows XP SP3 on (CNG starts with Vista), so one verifier
// serves them all. The keys are imported once per process: they never change.
class VerificationKeySet {
 public:
  void Import() {
    if (!::CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES,
                                CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
      provider_ = 0;
      return;
    }
    for (DWORD i = 0; i < kVerificationKeyCount; ++i) keys_[i] = ImportOne(kKeys[i]);
  }

  HCRYPTPROV provider() const { return provider_; }

  HCRYPTKEY KeyFor(DWORD keyId) const {
    for (DWORD i = 0; i < kVerificationKeyCount; ++i) {
      if (keys_[i] && ReadDword(kKeys[i] + 4) == keyId) return keys_[i];
    }
    return 0;
  }

 private:
  // Record -> PUBLICKEYBLOB (header, RSAPUBKEY, little-endian modulus).
  HCRYPTKEY ImportOne(const BYTE* record) {
    DWORD exponent = ReadDword(record);
    if (exponent == 0) return 0;  // an empty slot
    BYTE blob[sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + kModulusBytes];
    BLOBHEADER header = {PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, CALG_RSA_SIGN};
    RSAPUBKEY rsa = {0x31415352 /* "RSA1" */, kModulusBytes * 8, exponent};
    memcpy(blob, &header, sizeof(header));
    memcpy(blob + sizeof(header), &rsa, sizeof(rsa));
    BYTE* modulus = blob + sizeof(header) + sizeof(rsa);
    for (DWORD i = 0; i < kModulusBytes; ++i) modulus[i] = record[8 + kModulusBytes - 1 - i];
    HCRYPTKEY key = 0;
    if (!::CryptImportKey(provider_, blob, sizeof(blob), 0, 0, &key)) return 0;
    return key;
  }

  HCRYPTPROV provider_ = 0;
  HCRYPTKEY keys_[kVerificationKeyCount] = {};
};

// Constant-initialized and never destroyed: checks may run while the
// process ends.
VerificationKeySet g_keys;
enum : LONG { kKeysNotImported, kKeysImporting, kKeysImported };
LONG g_keysState = kKeysNotImported;

// The first caller imports the keys; any other waits until they are in.
const VerificationKeySet& Keys() {
  if (::InterlockedCompareExchange(&g_keysState, kKeysImporting, kKeysNotImported) ==
      kKeysNotImported) {
    g_keys.Import();
    ::InterlockedExchange(&g_keysState, kKeysImported);
  }
  while (::InterlockedCompareExchange(&g_keysState, kKeysImported, kKeysImported) !=
         kKeysImported) {
    ::Sleep(0);
  }
  return g_keys;
}

bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
  DWORD got = 0;
  return ::ReadFile(file, buffer, length, &got, nullptr) && got == length;
}

// A SHA-256 hash of the first length bytes of the file followed by the
// trailer; 0 when the file cannot be read. The caller destroys it.
HCRYPTHASH HashSignedBytes(HANDLE file, DWORD length, const SignatureTrailer& trailer,
                           BYTE* work) {
  HCRYPTHASH hash = 0;
  if (!::CryptCreateHash(Keys().provider(), CALG_SHA_256, 0, 0, &hash)) return 0;
  LARGE_INTEGER start = {};
  bool ok = ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE;
  DWORD done = 0;
  while (ok && done < length) {
    DWORD chunk = length - done < kSignatureWorkBufferSize ? length - done
                                                           : kSignatureWorkBufferSize;
    DWORD got = 0;
    ok = ::ReadFile(file, work, chunk, &got, nullptr) && got == chunk &&
         ::CryptHashData(hash, work, chunk, 0);
    done += chunk;
  }
  ok = ok && ::CryptHashData(hash, reinterpret_cast<const BYTE*>(&trailer), sizeof(trailer), 0);
  if (!ok) {
    ::CryptDestroyHash(hash);
    return 0;
  }
  return hash;
}

}  // namespace

const BYTE (&VerificationKeys())[kVerificationKeyCount][kVerificationKeySize] { return kKeys; }

BOOL CheckEmbeddedSignature(HANDLE file, BYTE* work, SignatureCheckRecord* record) {
  record->status = kSignatureMissing;
  record->level = -1;
  record->keyId = 0;
  record->signedLength = 0;

  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size)) return FALSE;
  SignatureTrailer trailer;
  // Program files beyond 2 GB are not ours to sign.
  if (size.QuadPart < static_cast<LONGLONG>(sizeof(trailer)) || size.QuadPart > 0x7FFFFFFF) {
    return TRUE;
  }
  if (!ReadAt(file, size.QuadPart - sizeof(trailer), &trailer, sizeof(trailer))) return FALSE;
  if (memcmp(trailer.magic, kMagic, sizeof(kMagic)) != 0) return TRUE;

  record->status = kSignatureInvalid;
  record->keyId = trailer.keyId;
  if (trailer.format != kFormat || trailer.signatureLength != kModulusBytes ||
      size.QuadPart < static_cast<LONGLONG>(sizeof(trailer) + kModulusBytes)) {
    return TRUE;
  }
  HCRYPTKEY key = Keys().KeyFor(trailer.keyId);
  if (!key) return Keys().provider() ? TRUE : FALSE;

  DWORD signedLength = static_cast<DWORD>(size.QuadPart) - sizeof(trailer) - kModulusBytes;
  record->signedLength = signedLength;
  BYTE signature[kModulusBytes];
  if (!ReadAt(file, signedLength, signature, kModulusBytes)) return FALSE;
  HCRYPTHASH hash = HashSignedBytes(file, signedLength, trailer, work);
  if (!hash) return FALSE;
  // The file holds the signature big-endian, as PKCS#1 writes it;
  // CryptoAPI takes it little-endian.
  BYTE reversed[kModulusBytes];
  for (DWORD i = 0; i < kModulusBytes; ++i) reversed[i] = signature[kModulusBytes - 1 - i];
  if (::CryptVerifySignatureW(hash, reversed, kModulusBytes, key, nullptr, 0)) {
    record->status = kSignatureValid;
    record->level = static_cast<LONG>(trailer.level);
  }
  ::CryptDestroyHash(hash);
  return TRUE;
}

BOOL VerifyFileSignature(const wchar_t* path, LONG* level) {
  if (!path || !*path) return FALSE;
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  BOOL verified = VerifyOpenFileSignature(file, level);
  ::CloseHandle(file);
  return verified;
}

BOOL VerifyOpenFileSignature(HANDLE file, LONG* level) {
  BYTE* work = static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), 0, kSignatureWorkBufferSize));
  SignatureCheckRecord record = {};
  BOOL ran = work && CheckEmbeddedSignature(file, work, &record);
  if (work) ::HeapFree(::GetProcessHeap(), 0, work);
  if (level) *level = record.level;
  return ran && record.status != kSignatureMissing && record.status != kSignatureInvalid;
}
