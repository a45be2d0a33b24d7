#pragma once
// The 15-bit generator of the bootstrap: state = state * 214013 + 2531011
// (mod 2^32), value = bits 16 to 30 of the state, 0 to 32767. The same seed
// gives the same replicates on every platform.
#include <cstdint>

namespace lorvane {

class Rng15 {
 public:
  explicit Rng15(std::uint32_t seed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t state_;
};

}  // namespace lorvane
