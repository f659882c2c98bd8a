#include "unpack/SignatureCheck.h"

#include <bcrypt.h>
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

// CNG, bound at run time from the system folder: Windows XP has no
// bcrypt.dll, and the installer must still start there (its files then
// simply do not verify).
struct CngCalls {
  decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
  decltype(&::BCryptImportKeyPair) ImportKeyPair = nullptr;
  decltype(&::BCryptDestroyKey) DestroyKey = nullptr;
  decltype(&::BCryptCreateHash) CreateHash = nullptr;
  decltype(&::BCryptHashData) HashData = nullptr;
  decltype(&::BCryptFinishHash) FinishHash = nullptr;
  decltype(&::BCryptDestroyHash) DestroyHash = nullptr;
  decltype(&::BCryptVerifySignature) VerifySignature = nullptr;
  bool complete = false;
};

template <class Function>
void Bind(HMODULE module, const char* name, Function* out) {
  *out = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

CngCalls LoadCng() {
  CngCalls cng;
  wchar_t path[MAX_PATH] = {};
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 12 >= MAX_PATH) return cng;
  wcscat(path, L"\\bcrypt.dll");
  // Deliberately never freed: the keys live as long as the process.
  HMODULE module = ::LoadLibraryW(path);
  if (!module) return cng;
  Bind(module, "BCryptOpenAlgorithmProvider", &cng.OpenAlgorithmProvider);
  Bind(module, "BCryptCloseAlgorithmProvider", &cng.CloseAlgorithmProvider);
  Bind(module, "BCryptImportKeyPair", &cng.ImportKeyPair);
  Bind(module, "BCryptDestroyKey", &cng.DestroyKey);
  Bind(module, "BCryptCreateHash", &cng.CreateHash);
  Bind(module, "BCryptHashData", &cng.HashData);
  Bind(module, "BCryptFinishHash", &cng.FinishHash);
  Bind(module, "BCryptDestroyHash", &cng.DestroyHash);
  Bind(module, "BCryptVerifySignature", &cng.VerifySignature);
  cng.complete = cng.OpenAlgorithmProvider && cng.CloseAlgorithmProvider && cng.ImportKeyPair &&
                 cng.DestroyKey && cng.CreateHash && cng.HashData && cng.FinishHash &&
                 cng.DestroyHash && cng.VerifySignature;
  return cng;
}

DWORD ReadDword(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Imported once per process: the keys never change.
class VerificationKeySet {
 public:
  VerificationKeySet() : cng_(LoadCng()) {
    if (!cng_.complete) return;
    if (cng_.OpenAlgorithmProvider(&rsa_, BCRYPT_RSA_ALGORITHM, nullptr, 0) != 0) {
      rsa_ = nullptr;
      return;
    }
    if (cng_.OpenAlgorithmProvider(&sha256_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
      sha256_ = nullptr;
    }
    for (DWORD i = 0; i < kVerificationKeyCount; ++i) keys_[i] = Import(kKeys[i]);
  }
  ~VerificationKeySet() {
    for (BCRYPT_KEY_HANDLE key : keys_) {
      if (key) cng_.DestroyKey(key);
    }
    if (sha256_) cng_.CloseAlgorithmProvider(sha256_, 0);
    if (rsa_) cng_.CloseAlgorithmProvider(rsa_, 0);
  }

  const CngCalls& cng() const { return cng_; }
  BCRYPT_ALG_HANDLE sha256() const { return sha256_; }

  BCRYPT_KEY_HANDLE KeyFor(DWORD keyId) const {
    for (DWORD i = 0; i < kVerificationKeyCount; ++i) {
      if (keys_[i] && ReadDword(kKeys[i] + 4) == keyId) return keys_[i];
    }
    return nullptr;
  }

 private:
  // Record -> BCRYPT_RSAPUBLIC_BLOB (header, big-endian exponent, modulus).
  BCRYPT_KEY_HANDLE Import(const BYTE* record) {
    DWORD exponent = ReadDword(record);
    if (exponent == 0) return nullptr;  // an empty slot
    BYTE exponentBytes[4];
    DWORD exponentLength = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
      BYTE b = static_cast<BYTE>(exponent >> shift);
      if (b || exponentLength) exponentBytes[exponentLength++] = b;
    }
    BYTE blob[sizeof(BCRYPT_RSAKEY_BLOB) + 4 + kModulusBytes];
    BCRYPT_RSAKEY_BLOB header = {};
    header.Magic = BCRYPT_RSAPUBLIC_MAGIC;
    header.BitLength = kModulusBytes * 8;
    header.cbPublicExp = exponentLength;
    header.cbModulus = kModulusBytes;
    memcpy(blob, &header, sizeof(header));
    memcpy(blob + sizeof(header), exponentBytes, exponentLength);
    memcpy(blob + sizeof(header) + exponentLength, record + 8, kModulusBytes);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (cng_.ImportKeyPair(rsa_, nullptr, BCRYPT_RSAPUBLIC_BLOB, &key, blob,
                            sizeof(header) + exponentLength + kModulusBytes, 0) != 0) {
      return nullptr;
    }
    return key;
  }

  CngCalls cng_;
  BCRYPT_ALG_HANDLE rsa_ = nullptr;
  BCRYPT_ALG_HANDLE sha256_ = nullptr;
  BCRYPT_KEY_HANDLE keys_[kVerificationKeyCount] = {};
};

const VerificationKeySet& Keys() {
  // Deliberately never destroyed: checks may run while the process ends.
  static VerificationKeySet* keys = new VerificationKeySet();
  return *keys;
}

bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
  DWORD got = 0;
  return ::ReadFile(file, buffer, length, &got, nullptr) && got == length;
}

// SHA-256 of the first length bytes of the file followed by the trailer.
bool HashSignedBytes(HANDLE file, DWORD length, const SignatureTrailer& trailer, BYTE* work,
                     BYTE (&digest)[32]) {
  const CngCalls& cng = Keys().cng();
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Keys().sha256() || cng.CreateHash(Keys().sha256(), &hash, nullptr, 0, nullptr, 0, 0) != 0) {
    return false;
  }
  LARGE_INTEGER start = {};
  bool ok = ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE;
  DWORD done = 0;
  while (ok && done < length) {
    DWORD chunk = length - done < kSignatureWorkBufferSize ? length - done
                                                           : kSignatureWorkBufferSize;
    DWORD got = 0;
    ok = ::ReadFile(file, work, chunk, &got, nullptr) && got == chunk &&
         cng.HashData(hash, work, chunk, 0) == 0;
    done += chunk;
  }
  ok = ok &&
       cng.HashData(hash, reinterpret_cast<PUCHAR>(const_cast<SignatureTrailer*>(&trailer)),
                      sizeof(trailer), 0) == 0 &&
       cng.FinishHash(hash, digest, sizeof(digest), 0) == 0;
  cng.DestroyHash(hash);
  return ok;
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
  BCRYPT_KEY_HANDLE key = Keys().KeyFor(trailer.keyId);
  if (!key) return Keys().sha256() ? TRUE : FALSE;

  DWORD signedLength = static_cast<DWORD>(size.QuadPart) - sizeof(trailer) - kModulusBytes;
  record->signedLength = signedLength;
  BYTE signature[kModulusBytes];
  BYTE digest[32];
  if (!ReadAt(file, signedLength, signature, kModulusBytes) ||
      !HashSignedBytes(file, signedLength, trailer, work, digest)) {
    return FALSE;
  }
  BCRYPT_PKCS1_PADDING_INFO padding = {BCRYPT_SHA256_ALGORITHM};
  if (Keys().cng().VerifySignature(key, &padding, digest, sizeof(digest), signature, kModulusBytes,
                            BCRYPT_PAD_PKCS1) == 0) {
    record->status = kSignatureValid;
    record->level = static_cast<LONG>(trailer.level);
  }
  return TRUE;
}

BOOL VerifyFileSignature(const wchar_t* path, LONG* level) {
  if (!path || !*path) return FALSE;
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  BYTE* work = static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), 0, kSignatureWorkBufferSize));
  SignatureCheckRecord record = {};
  BOOL ran = work && CheckEmbeddedSignature(file, work, &record);
  if (work) ::HeapFree(::GetProcessHeap(), 0, work);
  ::CloseHandle(file);
  if (level) *level = record.level;
  return ran && record.status != kSignatureMissing && record.status != kSignatureInvalid;
}
