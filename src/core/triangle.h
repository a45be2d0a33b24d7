#pragma once
// The lower half of a symmetric table without its diagonal, kept row by row:
// row i holds the cells (i, 0) .. (i, i - 1), contiguous, so cell (i, j),
// j < i, 0-based, lies at i (i - 1) / 2 + j, and a table of n strains has
// n (n - 1) / 2 cells (the start of the row that would follow its last).
// Every lower half of the program is indexed here.
#include <concepts>
#include <cstddef>

namespace lorvane {

struct Triangle {
  // Where row i starts.
  static constexpr std::size_t row(std::integral auto i) {
    const auto u = static_cast<std::size_t>(i);
    return u * (u - 1) / 2;
  }
  // The cells of a table of n strains.
  static constexpr std::size_t cells(std::integral auto n) { return row(n); }
  // Cell (i, j), j < i.
  static constexpr std::size_t below(std::integral auto i, std::integral auto j) {
    return row(i) + static_cast<std::size_t>(j);
  }
  // Cell (i, j), i != j, either way round.
  static constexpr std::size_t at(std::integral auto i, std::integral auto j) {
    return i > j ? below(i, j) : below(j, i);
  }
};

}  // namespace lorvane
