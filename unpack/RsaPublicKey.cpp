#include "unpack/RsaPublicKey.h"

#include <string.h>

namespace {

constexpr int kLimbs = kRsaModulusBytes / 4;
constexpr DWORD kDigestSize = 32;
// DER of the DigestInfo sequence naming SHA-256, in front of the digest.
constexpr BYTE kSha256DigestInfo[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60,
                                      0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02,
                                      0x01, 0x05, 0x00, 0x04, 0x20};

// A number below 2^2048, least significant 32-bit limb first.
struct Number {
  DWORD limb[kLimbs];
};

void FromBigEndian(const BYTE* bytes, Number* out) {
  for (int i = 0; i < kLimbs; ++i) {
    const BYTE* p = bytes + kRsaModulusBytes - 4 - 4 * i;
    out->limb[i] = (static_cast<DWORD>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
  }
}

void ToBigEndian(const Number& number, BYTE* bytes) {
  for (int i = 0; i < kLimbs; ++i) {
    BYTE* p = bytes + kRsaModulusBytes - 4 - 4 * i;
    for (int j = 0; j < 4; ++j) p[j] = static_cast<BYTE>(number.limb[i] >> (24 - 8 * j));
  }
}

bool Below(const DWORD* a, const Number& b) {
  for (int i = kLimbs - 1; i >= 0; --i) {
    if (a[i] != b.limb[i]) return a[i] < b.limb[i];
  }
  return false;
}

void Subtract(DWORD* a, const Number& b) {
  ULONGLONG borrow = 0;
  for (int i = 0; i < kLimbs; ++i) {
    ULONGLONG difference = static_cast<ULONGLONG>(a[i]) - b.limb[i] - borrow;
    a[i] = static_cast<DWORD>(difference);
    borrow = (difference >> 32) & 1;
  }
}

// Montgomery arithmetic modulo an odd n, with R = 2^2048: products come out
// divided by R, which spares a long division per step.
class Montgomery {
 public:
  explicit Montgomery(const Number& n) : n_(n) {
    // -1/n mod 2^32 by Newton's iteration: each step doubles the bits that
    // are right, and n itself is right to 3 bits for any odd n.
    DWORD inverse = n.limb[0];
    for (int i = 0; i < 4; ++i) inverse *= 2 - n.limb[0] * inverse;
    minusInverse_ = 0 - inverse;
  }

  // out = a * b / R mod n, for a and b below n.
  void Multiply(const Number& a, const Number& b, Number* out) const {
    DWORD t[kLimbs + 2] = {};
    for (int i = 0; i < kLimbs; ++i) {
      ULONGLONG carry = 0;
      for (int j = 0; j < kLimbs; ++j) {
        carry += t[j] + static_cast<ULONGLONG>(a.limb[j]) * b.limb[i];
        t[j] = static_cast<DWORD>(carry);
        carry >>= 32;
      }
      carry += t[kLimbs];
      t[kLimbs] = static_cast<DWORD>(carry);
      t[kLimbs + 1] = static_cast<DWORD>(carry >> 32);
      // Adding m * n clears the lowest limb, which the shift then drops.
      DWORD m = t[0] * minusInverse_;
      carry = (t[0] + static_cast<ULONGLONG>(m) * n_.limb[0]) >> 32;
      for (int j = 1; j < kLimbs; ++j) {
        carry += t[j] + static_cast<ULONGLONG>(m) * n_.limb[j];
        t[j - 1] = static_cast<DWORD>(carry);
        carry >>= 32;
      }
      carry += t[kLimbs];
      t[kLimbs - 1] = static_cast<DWORD>(carry);
      t[kLimbs] = t[kLimbs + 1] + static_cast<DWORD>(carry >> 32);
    }
    // t < 2n here.
    if (t[kLimbs] || !Below(t, n_)) Subtract(t, n_);
    memcpy(out->limb, t, sizeof(out->limb));
  }

  // out = a * R mod n, for a below n: doubled 2048 times.
  void Enter(const Number& a, Number* out) const {
    *out = a;
    for (int bit = 0; bit < kLimbs * 32; ++bit) {
      DWORD carry = 0;
      for (int i = 0; i < kLimbs; ++i) {
        DWORD next = out->limb[i] >> 31;
        out->limb[i] = (out->limb[i] << 1) | carry;
        carry = next;
      }
      if (carry || !Below(out->limb, n_)) Subtract(out->limb, n_);
    }
  }

 private:
  const Number& n_;
  DWORD minusInverse_;
};

// out = base^exponent mod n; base below n, n odd, exponent non-zero.
void PowerModulo(const Number& base, DWORD exponent, const Number& n, Number* out) {
  Montgomery arithmetic(n);
  Number baseR, acc;
  arithmetic.Enter(base, &baseR);
  acc = baseR;
  int bit = 31;
  while (!(exponent >> bit)) --bit;
  for (--bit; bit >= 0; --bit) {
    arithmetic.Multiply(acc, acc, &acc);
    if ((exponent >> bit) & 1) arithmetic.Multiply(acc, baseR, &acc);
  }
  Number one = {{1}};
  arithmetic.Multiply(acc, one, out);
}

}  // namespace

bool VerifyRsaSha256Signature(DWORD exponent, const BYTE* modulus, const BYTE* signature,
                              const BYTE* digest) {
  if (exponent < 3 || !(exponent & 1) || !(modulus[kRsaModulusBytes - 1] & 1)) return false;
  Number n, s, m;
  FromBigEndian(modulus, &n);
  FromBigEndian(signature, &s);
  // s + k*n would give the same power: only the one value below n counts.
  if (!Below(s.limb, n)) return false;
  PowerModulo(s, exponent, n, &m);
  BYTE decoded[kRsaModulusBytes];
  ToBigEndian(m, decoded);

  // The one encoding a signer makes: 00 01 FF..FF 00 DigestInfo digest.
  // Comparing all of it leaves no field to parse, and none to get wrong.
  BYTE expected[kRsaModulusBytes];
  constexpr DWORD kTail = sizeof(kSha256DigestInfo) + kDigestSize;
  expected[0] = 0x00;
  expected[1] = 0x01;
  memset(expected + 2, 0xFF, kRsaModulusBytes - kTail - 3);
  expected[kRsaModulusBytes - kTail - 1] = 0x00;
  memcpy(expected + kRsaModulusBytes - kTail, kSha256DigestInfo, sizeof(kSha256DigestInfo));
  memcpy(expected + kRsaModulusBytes - kDigestSize, digest, kDigestSize);
  return memcmp(decoded, expected, kRsaModulusBytes) == 0;
}
