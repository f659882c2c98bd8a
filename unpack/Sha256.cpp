#include "unpack/Sha256.h"

#include <string.h>

namespace {

constexpr DWORD kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline DWORD Rotr(DWORD x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19} {}

void Sha256::Compress(const BYTE* block) {
  DWORD w[64];
  for (int i = 0; i < 16; ++i) {
    const BYTE* p = block + 4 * i;
    w[i] = (static_cast<DWORD>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
  }
  for (int i = 16; i < 64; ++i) {
    DWORD s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    DWORD s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  DWORD a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  DWORD e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int i = 0; i < 64; ++i) {
    DWORD t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
               kRoundConstants[i] + w[i];
    DWORD t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  state_[5] += f;
  state_[6] += g;
  state_[7] += h;
}

void Sha256::Update(const BYTE* data, DWORD length) {
  totalLength_ += length;
  if (pendingLength_) {
    DWORD take = length < 64 - pendingLength_ ? length : 64 - pendingLength_;
    memcpy(pending_ + pendingLength_, data, take);
    pendingLength_ += take;
    data += take;
    length -= take;
    if (pendingLength_ < 64) return;
    Compress(pending_);
    pendingLength_ = 0;
  }
  // Whole blocks straight from the caller's buffer, without a copy.
  for (; length >= 64; data += 64, length -= 64) Compress(data);
  memcpy(pending_, data, length);
  pendingLength_ = length;
}

void Sha256::Finish(BYTE (&digest)[kDigestSize]) {
  ULONGLONG bits = totalLength_ * 8;
  // A 1 bit, zeros up to 8 bytes short of a block's end, the length in bits.
  pending_[pendingLength_++] = 0x80;
  if (pendingLength_ > 56) {
    memset(pending_ + pendingLength_, 0, 64 - pendingLength_);
    Compress(pending_);
    pendingLength_ = 0;
  }
  memset(pending_ + pendingLength_, 0, 56 - pendingLength_);
  for (int i = 0; i < 8; ++i) pending_[63 - i] = static_cast<BYTE>(bits >> (8 * i));
  Compress(pending_);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<BYTE>(state_[i] >> (24 - 8 * j));
  }
}
