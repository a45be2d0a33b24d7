#pragma once
// The kernel functions of each instruction set (see aflp/paircount.h).
#include <cstddef>
#include <cstdint>

namespace lorvane::kernels {
#define LORVANE_KERNEL(name)                                                                              \
  void name(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0, int ni, int j0, int nj, \
            const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld)
LORVANE_KERNEL(portablecount);
LORVANE_KERNEL(popcntcount);
LORVANE_KERNEL(avx512count);
#undef LORVANE_KERNEL
// The bands scored in both strains whose scores differ (see
// DifferCountFunction in aflp/paircount.h).
#define LORVANE_DIFFER(name)                                                                                      \
  void name(const std::uint64_t* x, const std::uint64_t* s, std::size_t stride, std::size_t words, int i0, int ni, \
            int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld)
LORVANE_DIFFER(portablediffer);
LORVANE_DIFFER(popcntdiffer);
LORVANE_DIFFER(avx512differ);
#undef LORVANE_DIFFER
// The same counts from transposed column panels (see ColumnPanels in
// aflp/paircount.h); j0 and nj multiples of 8.
void avx512countcolumns(const std::uint64_t* x, std::size_t stride, std::size_t words, const std::uint64_t* xt,
                        int i0, int ni, int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                        std::size_t ld);
// Bits set in `words` words (a multiple of 8 for avx512total): the bare
// popcount loop, the ceiling the pair kernels are measured against.
std::uint64_t portabletotal(const std::uint64_t* x, std::size_t words);
std::uint64_t popcnttotal(const std::uint64_t* x, std::size_t words);
std::uint64_t avx512total(const std::uint64_t* x, std::size_t words);
}  // namespace lorvane::kernels
