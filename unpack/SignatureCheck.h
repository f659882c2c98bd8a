#pragma once
#include <windows.h>

// The signature the maker embeds at the end of its programs and DLLs, checked
// against the four verification keys this program carries.

// What one check found. status: kSignature* below; level: the trust level
// the signer gave the file (3: not trustworthy; -1 until a signature verified).
struct SignatureCheckRecord {
  DWORD status;
  LONG level;
  DWORD keyId;
  DWORD signedLength;  // bytes the signature covers, trailer excluded
};

enum : DWORD {
  kSignatureMissing = 0,  // no signature block at the end of the file
  kSignatureInvalid = 1,  // a block, but unknown key or it does not verify
  kSignatureValid = 2,
};

constexpr DWORD kSignatureWorkBufferSize = 8192;
constexpr DWORD kVerificationKeyCount = 4;
constexpr DWORD kVerificationKeySize = 264;

// Checks the open file (read access; the position is moved). work is a
// caller's buffer of kSignatureWorkBufferSize bytes. False when the check
// could not run (a read error); the record then
// holds what was found so far.
BOOL CheckEmbeddedSignature(HANDLE file, BYTE* work, SignatureCheckRecord* record);

// Opens path (share read) and checks it. True only for a signature that
// verifies with one of the four keys; level receives the record's level.
BOOL VerifyFileSignature(const wchar_t* path, LONG* level);
// The same for a file the caller holds open (read access).
BOOL VerifyOpenFileSignature(HANDLE file, LONG* level);

// The four 264-byte key records: u32 public exponent, u32 key id, 256-byte
// big-endian modulus.
const BYTE (&VerificationKeys())[kVerificationKeyCount][kVerificationKeySize];
