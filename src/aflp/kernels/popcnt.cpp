// The kernel for processors with the 64-bit popcount instruction
// (this source is compiled with -mpopcnt).
#include <bit>
#include <cstddef>
#include <cstdint>

#include "aflp/kernels/kernels.h"

namespace lorvane::kernels::popcnt {
#include "aflp/kernels/scalar.h"
#define TILE4X4 scalartile
#define DIFFER4X4 scalardiffertile
#include "aflp/kernels/tile.h"
#undef DIFFER4X4
#undef TILE4X4
}  // namespace lorvane::kernels::popcnt

namespace lorvane::kernels {
void popcntcount(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0, int ni, int j0, int nj,
                 const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  popcnt::countrectangle(x, stride, words, i0, ni, j0, nj, planes, nplanes, out, ld);
}
std::uint64_t popcnttotal(const std::uint64_t* x, std::size_t words) { return popcnt::scalartotal(x, words); }
void popcntdiffer(const std::uint64_t* x, const std::uint64_t* s, std::size_t stride, std::size_t words, int i0,
                  int ni, int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                  std::size_t ld) {
  popcnt::differrectangle(x, s, stride, words, i0, ni, j0, nj, planes, nplanes, out, ld);
}
}  // namespace lorvane::kernels
