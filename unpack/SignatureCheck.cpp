#include "unpack/SignatureCheck.h"

#include <string.h>

#include "unpack/RsaPublicKey.h"
#include "unpack/Sha256.h"

namespace {

constexpr char kMagic[8] = {'K', 'V', 'S', 'I', 'G', 'N', '0', '1'};
constexpr DWORD kFormat = 1;
constexpr DWORD kModulusBytes = kRsaModulusBytes;

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

// The record of the key with this id; nullptr when none of the four has it.
const BYTE* KeyFor(DWORD keyId) {
  for (DWORD i = 0; i < kVerificationKeyCount; ++i) {
    // An empty slot has exponent 0.
    if (ReadDword(kKeys[i]) != 0 && ReadDword(kKeys[i] + 4) == keyId) return kKeys[i];
  }
  return nullptr;
}

bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
  DWORD got = 0;
  return ::ReadFile(file, buffer, length, &got, nullptr) && got == length;
}

// SHA-256 of the first length bytes of the file followed by the trailer.
// False when the file cannot be read.
bool HashSignedBytes(HANDLE file, DWORD length, const SignatureTrailer& trailer, BYTE* work,
                     BYTE (&digest)[Sha256::kDigestSize]) {
  Sha256 hash;
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  for (DWORD done = 0; done < length;) {
    DWORD chunk = length - done < kSignatureWorkBufferSize ? length - done
                                                           : kSignatureWorkBufferSize;
    DWORD got = 0;
    if (!::ReadFile(file, work, chunk, &got, nullptr) || got != chunk) return false;
    hash.Update(work, chunk);
    done += chunk;
  }
  hash.Update(reinterpret_cast<const BYTE*>(&trailer), sizeof(trailer));
  hash.Finish(digest);
  return true;
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
  const BYTE* key = KeyFor(trailer.keyId);
  if (!key) return TRUE;

  DWORD signedLength = static_cast<DWORD>(size.QuadPart) - sizeof(trailer) - kModulusBytes;
  record->signedLength = signedLength;
  BYTE signature[kModulusBytes];
  if (!ReadAt(file, signedLength, signature, kModulusBytes)) return FALSE;
  BYTE digest[Sha256::kDigestSize];
  if (!HashSignedBytes(file, signedLength, trailer, work, digest)) return FALSE;
  if (VerifyRsaSha256Signature(ReadDword(key), key + 8, signature, digest)) {
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
