#pragma once
// The 4 x 4 tile loops of the shared-band count (and, with DIFFER4X4, of the
// count of differing scored bands), compiled once per
// instruction set (included by the kernel sources, each in its own
// namespace, with TILE4X4 defined to the tile function of that set).
// Rows are walked in panels of 64 columns so the panel stays in cache while
// the tiles of 4 rows go over it.
inline void countrectangle(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0, int ni,
                           int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                           std::size_t ld) {
  constexpr int kPanel = 64;
  for (int jp = j0; jp < j0 + nj; jp += kPanel) {
    const int je = jp + kPanel < j0 + nj ? jp + kPanel : j0 + nj;
    for (int i = i0; i < i0 + ni; i += 4)
      for (int j = jp; j < je; j += 4)
        TILE4X4(x + static_cast<std::size_t>(i) * stride, x + static_cast<std::size_t>(j) * stride, stride,
                words, planes, nplanes,
                out + static_cast<std::size_t>(i - i0) * ld + static_cast<std::size_t>(j - j0), ld);
  }
}

#ifdef DIFFER4X4
// The same walk for the bands that differ where both strains are scored.
inline void differrectangle(const std::uint64_t* x, const std::uint64_t* s, std::size_t stride, std::size_t words,
                            int i0, int ni, int j0, int nj, const std::uint64_t* planes, int nplanes,
                            std::int64_t* out, std::size_t ld) {
  constexpr int kPanel = 64;
  for (int jp = j0; jp < j0 + nj; jp += kPanel) {
    const int je = jp + kPanel < j0 + nj ? jp + kPanel : j0 + nj;
    for (int i = i0; i < i0 + ni; i += 4)
      for (int j = jp; j < je; j += 4) {
        const std::size_t oi = static_cast<std::size_t>(i) * stride, oj = static_cast<std::size_t>(j) * stride;
        DIFFER4X4(x + oi, s + oi, x + oj, s + oj, stride, words, planes, nplanes,
                  out + static_cast<std::size_t>(i - i0) * ld + static_cast<std::size_t>(j - j0), ld);
      }
  }
}
#endif
