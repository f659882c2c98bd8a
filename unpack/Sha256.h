#pragma once
#include <windows.h>

// SHA-256, fed in pieces of any size.
class Sha256 {
 public:
  static constexpr DWORD kDigestSize = 32;

  Sha256();
  void Update(const BYTE* data, DWORD length);
  // The digest of everything fed so far; the object is spent afterwards.
  void Finish(BYTE (&digest)[kDigestSize]);

 private:
  void Compress(const BYTE* block);

  DWORD state_[8];
  BYTE pending_[64];
  DWORD pendingLength_ = 0;
  ULONGLONG totalLength_ = 0;
};
