// The 4 x 4 tile with 64-bit popcounts (std::popcount: the instruction when
// the source is compiled for it, a bit-twiddling sequence otherwise).
// Each kernel source includes it inside its own namespace, after <bit>,
// <cstddef> and <cstdint>: every instruction set gets functions of its own,
// never one name with two different bodies.
#pragma once

inline void scalartile(const std::uint64_t* xi, const std::uint64_t* xj, std::size_t stride, std::size_t words,
                       const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  const std::uint64_t* a[4] = {xi, xi + stride, xi + 2 * stride, xi + 3 * stride};
  const std::uint64_t* b[4] = {xj, xj + stride, xj + 2 * stride, xj + 3 * stride};
  std::int64_t total[16] = {};
  const int passes = nplanes > 0 ? nplanes : 1;
  for (int t = 0; t < passes; ++t) {
    const std::uint64_t* plane = nplanes > 0 ? planes + static_cast<std::size_t>(t) * stride : nullptr;
    std::uint64_t acc[16] = {};
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t p = plane ? plane[w] : ~std::uint64_t{0};
      const std::uint64_t a0 = a[0][w] & p, a1 = a[1][w] & p, a2 = a[2][w] & p, a3 = a[3][w] & p;
      const std::uint64_t b0 = b[0][w], b1 = b[1][w], b2 = b[2][w], b3 = b[3][w];
      acc[0] += std::popcount(a0 & b0), acc[1] += std::popcount(a0 & b1);
      acc[2] += std::popcount(a0 & b2), acc[3] += std::popcount(a0 & b3);
      acc[4] += std::popcount(a1 & b0), acc[5] += std::popcount(a1 & b1);
      acc[6] += std::popcount(a1 & b2), acc[7] += std::popcount(a1 & b3);
      acc[8] += std::popcount(a2 & b0), acc[9] += std::popcount(a2 & b1);
      acc[10] += std::popcount(a2 & b2), acc[11] += std::popcount(a2 & b3);
      acc[12] += std::popcount(a3 & b0), acc[13] += std::popcount(a3 & b1);
      acc[14] += std::popcount(a3 & b2), acc[15] += std::popcount(a3 & b3);
    }
    for (int k = 0; k < 16; ++k) total[k] += static_cast<std::int64_t>(acc[k]) << t;
  }
  for (int p = 0; p < 4; ++p)
    for (int q = 0; q < 4; ++q) out[static_cast<std::size_t>(p) * ld + static_cast<std::size_t>(q)] = total[p * 4 + q];
}

// The 4 x 4 tile of the bands that differ between two strains where both
// are scored: popcount((x_i XOR x_j) AND s_i AND s_j), weighted by the
// planes as the shared count is.
inline void scalardiffertile(const std::uint64_t* xi, const std::uint64_t* si, const std::uint64_t* xj,
                             const std::uint64_t* sj, std::size_t stride, std::size_t words,
                             const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  std::int64_t total[16] = {};
  const int passes = nplanes > 0 ? nplanes : 1;
  for (int t = 0; t < passes; ++t) {
    const std::uint64_t* plane = nplanes > 0 ? planes + static_cast<std::size_t>(t) * stride : nullptr;
    std::uint64_t acc[16] = {};
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t p = plane ? plane[w] : ~std::uint64_t{0};
      for (int r = 0; r < 4; ++r) {
        const std::size_t ri = static_cast<std::size_t>(r) * stride + w;
        const std::uint64_t a = xi[ri], sa = si[ri] & p;
        for (int q = 0; q < 4; ++q) {
          const std::size_t qj = static_cast<std::size_t>(q) * stride + w;
          acc[r * 4 + q] += static_cast<std::uint64_t>(std::popcount((a ^ xj[qj]) & sa & sj[qj]));
        }
      }
    }
    for (int k = 0; k < 16; ++k) total[k] += static_cast<std::int64_t>(acc[k]) << t;
  }
  for (int p = 0; p < 4; ++p)
    for (int q = 0; q < 4; ++q) out[static_cast<std::size_t>(p) * ld + static_cast<std::size_t>(q)] = total[p * 4 + q];
}

inline std::uint64_t scalartotal(const std::uint64_t* x, std::size_t words) {
  std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  std::size_t w = 0;
  for (; w + 4 <= words; w += 4) {
    s0 += static_cast<std::uint64_t>(std::popcount(x[w]));
    s1 += static_cast<std::uint64_t>(std::popcount(x[w + 1]));
    s2 += static_cast<std::uint64_t>(std::popcount(x[w + 2]));
    s3 += static_cast<std::uint64_t>(std::popcount(x[w + 3]));
  }
  for (; w < words; ++w) s0 += static_cast<std::uint64_t>(std::popcount(x[w]));
  return s0 + s1 + s2 + s3;
}
