// Horner's rule over the bytes as 32-bit words, in two lanes with keys of their own.
#include "core/keyed_digest.h"

#include <chrono>
#include <cstring>
#include <random>

namespace {

constexpr uint64_t kPrime = (uint64_t{1} << 61) - 1;
__extension__ typedef unsigned __int128 Wide;

uint64_t MulMod(uint64_t a, uint64_t b) {
  Wide p = static_cast<Wide>(a) * b;
  uint64_t r = (static_cast<uint64_t>(p) & kPrime) + static_cast<uint64_t>(p >> 61);
  return r >= kPrime ? r - kPrime : r;
}

struct Keys {
  uint64_t k[2];
  Keys() {
    uint64_t seed[2] = {0, 0};
    try {
      std::random_device device;
      for (uint64_t& s : seed) s = uint64_t{device()} << 32 | device();
    } catch (...) {
      // No random source: the clock and this run's addresses are still unknown in advance.
      seed[0] = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
      seed[1] = reinterpret_cast<uintptr_t>(this) ^ reinterpret_cast<uintptr_t>(&seed);
    }
    std::mt19937_64 mix(seed[0] ^ (seed[1] * 0x9E3779B97F4A7C15ull));
    for (uint64_t& key : k) key = 2 + (seed[1] ^ mix()) % (kPrime - 3);
  }
};

const Keys& RunKeys() {
  static const Keys keys;
  return keys;
}

uint32_t Le32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void KeyedDigest::Word(uint64_t w) {
  const Keys& keys = RunKeys();
  for (int lane = 0; lane < 2; ++lane) {
    uint64_t h = MulMod(h_[lane], keys.k[lane]) + w;
    h_[lane] = h >= kPrime ? h - kPrime : h;
  }
}

void KeyedDigest::Update(const unsigned char* data, size_t len) {
  bytes_ += len;
  if (used_ != 0) {
    size_t take = len < 4 - used_ ? len : 4 - used_;
    memcpy(tail_ + used_, data, take);
    used_ += take;
    data += take;
    len -= take;
    if (used_ < 4) return;
    Word(Le32(tail_));
    used_ = 0;
  }
  const uint64_t k0 = RunKeys().k[0], k1 = RunKeys().k[1];
  uint64_t h0 = h_[0], h1 = h_[1];
  for (; len >= 4; data += 4, len -= 4) {
    uint64_t w = Le32(data);
    h0 = MulMod(h0, k0) + w;
    h0 = h0 >= kPrime ? h0 - kPrime : h0;
    h1 = MulMod(h1, k1) + w;
    h1 = h1 >= kPrime ? h1 - kPrime : h1;
  }
  h_[0] = h0;
  h_[1] = h1;
  memcpy(tail_, data, len);
  used_ = len;
}

KeyedDigest::Value KeyedDigest::Final() {
  if (used_ != 0) {
    memset(tail_ + used_, 0, 4 - used_);
    Word(Le32(tail_));
    used_ = 0;
  }
  // The length last, so that trailing zero bytes are not the same as none.
  Word(bytes_ & 0xFFFFFFFFu);
  Word(bytes_ >> 32);
  return {h_[0], h_[1]};
}
