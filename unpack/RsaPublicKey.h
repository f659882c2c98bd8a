#pragma once
#include <windows.h>

constexpr DWORD kRsaModulusBytes = 256;  // 2048-bit keys only

// True when signature (big-endian, kRsaModulusBytes) is the RSA PKCS#1 v1.5
// signature of the SHA-256 digest under the public key (exponent, big-endian
// modulus of kRsaModulusBytes). A key with an even modulus or an exponent
// that is even or below 3 verifies nothing.
bool VerifyRsaSha256Signature(DWORD exponent, const BYTE* modulus, const BYTE* signature,
                              const BYTE* digest);
