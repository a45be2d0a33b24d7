#pragma once
// The 15-bit generator of the bootstrap: state = state * 214013 + 2531011
// (mod 2^32), value = bits 16 to 30 of the state, 0 to 32767. The same seed
// gives the same replicates on every platform, and skip() reaches the state
// after any number of draws without making them, so that a share of the
// replicates is drawn exactly as the whole run draws it.
#include <cstdint>

namespace lorvane {

class Rng15 {
 public:
  explicit Rng15(std::uint32_t seed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  // As `draws` calls of next() whose values are dropped, in O(log draws):
  // the step x -> a x + c raised to that power by squaring, (a, c) composed
  // with itself being (a a, a c + c).
  void skip(std::uint64_t draws) {
    std::uint32_t a = 214013u, c = 2531011u, times = 1u, plus = 0u;
    for (; draws > 0; draws >>= 1) {
      if (draws & 1u) {
        times *= a;
        plus = plus * a + c;
      }
      c = (a + 1u) * c;
      a *= a;
    }
    state_ = state_ * times + plus;
  }
  std::uint32_t state() const { return state_; }

 private:
  std::uint32_t state_;
};

}  // namespace lorvane
