#pragma once
// Presence of bands packed as bits: one row of 64-bit words per strain.
#include <bit>
#include <cstdint>
#include <vector>

#include "core/table.h"

namespace lorvane {

class BitRows {
 public:
  BitRows(int n, int m)
      : n_(n), words_((static_cast<std::size_t>(m) + 63) / 64),
        bits_(static_cast<std::size_t>(n + 1) * words_, 0) {}

  int rows() const { return n_; }
  std::size_t words() const { return words_; }
  std::uint64_t* row(int i) { return bits_.data() + static_cast<std::size_t>(i) * words_; }
  const std::uint64_t* row(int i) const { return bits_.data() + static_cast<std::size_t>(i) * words_; }
  void set(int i, int k) {  // k is 0-based
    row(i)[static_cast<std::size_t>(k) / 64] |= std::uint64_t{1} << (k % 64);
  }
  int count(int i) const { return popcount(row(i), row(i)); }
  int shared(int i, int j) const { return popcount(row(i), row(j)); }

 private:
  int popcount(const std::uint64_t* x, const std::uint64_t* y) const {
    int s = 0;
    for (std::size_t w = 0; w < words_; ++w) s += std::popcount(x[w] & y[w]);
    return s;
  }
  int n_;
  std::size_t words_;
  std::vector<std::uint64_t> bits_;
};

// Pack the presence (value above 0) of an n x m table.
inline BitRows packpresence(const RealTable& t) {
  BitRows b(t.rows(), t.cols());
  for (int i = 1; i <= t.rows(); ++i) {
    const double* r = t.row(i);
    for (int k = 1; k <= t.cols(); ++k)
      if (r[k] > 0) b.set(i, k - 1);
  }
  return b;
}

}  // namespace lorvane
