// A digest of a file's bytes that whoever writes the files cannot steer: two polynomial hashes
// modulo 2^61-1 at points drawn at random once per run. Files made to share a CRC-32 (four
// bytes do it) share a digest only by chance, about size/2^60 per pair, so files are told apart
// by one read each instead of one comparison per pair.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

class KeyedDigest {
 public:
  using Value = std::pair<uint64_t, uint64_t>;

  void Update(const unsigned char* data, size_t len);
  Value Final();

 private:
  void Word(uint64_t w);

  uint64_t h_[2] = {0, 0};
  unsigned char tail_[4] = {};
  size_t used_ = 0;
  uint64_t bytes_ = 0;
};
