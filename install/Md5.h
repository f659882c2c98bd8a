#pragma once
#include <cstddef>
#include <cstdint>

// MD5 (RFC 1321) whose Finish leaves the context usable: the length block is
// hashed from a scratch copy and neither buffered nor counted, so a second
// Finish pads again from where the first stopped. The machine identifier is
// defined by finishing twice, so this behaviour must not be "fixed".
class Md5 {
 public:
  Md5();
  void Update(const void* data, size_t length);
  void Finish();
  // The four state words, each little-endian.
  void Digest(unsigned char out[16]) const;

 private:
  void Compress(const unsigned char block[64]);

  uint32_t state_[4];
  uint64_t bitCount_ = 0;
  unsigned char buffer_[64] = {};
};
