// The kernel for processors with AVX-512 VPOPCNTDQ: eight words per
// instruction (this source is compiled with -mavx512f -mavx512vpopcntdq).
#include <immintrin.h>

#include "aflp/kernels/kernels.h"

namespace lorvane::kernels::avx512 {

inline void tile(const std::uint64_t* xi, const std::uint64_t* xj, std::size_t stride, std::size_t words,
                 const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  std::int64_t total[16] = {};
  const int passes = nplanes > 0 ? nplanes : 1;
  for (int t = 0; t < passes; ++t) {
    const std::uint64_t* plane = nplanes > 0 ? planes + static_cast<std::size_t>(t) * stride : nullptr;
    __m512i acc[16];
    for (auto& v : acc) v = _mm512_setzero_si512();
    for (std::size_t w = 0; w < words; w += 8) {  // rows are padded to 8 words with zeros
      __m512i a0 = _mm512_load_si512(xi + w), a1 = _mm512_load_si512(xi + stride + w),
              a2 = _mm512_load_si512(xi + 2 * stride + w), a3 = _mm512_load_si512(xi + 3 * stride + w);
      if (plane) {
        const __m512i p = _mm512_load_si512(plane + w);
        a0 = _mm512_and_si512(a0, p), a1 = _mm512_and_si512(a1, p);
        a2 = _mm512_and_si512(a2, p), a3 = _mm512_and_si512(a3, p);
      }
      const __m512i b0 = _mm512_load_si512(xj + w), b1 = _mm512_load_si512(xj + stride + w),
                    b2 = _mm512_load_si512(xj + 2 * stride + w), b3 = _mm512_load_si512(xj + 3 * stride + w);
#define PAIR(k, a, b) acc[k] = _mm512_add_epi64(acc[k], _mm512_popcnt_epi64(_mm512_and_si512(a, b)))
      PAIR(0, a0, b0), PAIR(1, a0, b1), PAIR(2, a0, b2), PAIR(3, a0, b3);
      PAIR(4, a1, b0), PAIR(5, a1, b1), PAIR(6, a1, b2), PAIR(7, a1, b3);
      PAIR(8, a2, b0), PAIR(9, a2, b1), PAIR(10, a2, b2), PAIR(11, a2, b3);
      PAIR(12, a3, b0), PAIR(13, a3, b1), PAIR(14, a3, b2), PAIR(15, a3, b3);
#undef PAIR
    }
    for (int k = 0; k < 16; ++k) {
      alignas(64) std::uint64_t lanes[8];
      _mm512_store_si512(lanes, acc[k]);
      std::uint64_t sum = 0;
      for (std::uint64_t v : lanes) sum += v;
      total[k] += static_cast<std::int64_t>(sum) << t;
    }
  }
  for (int p = 0; p < 4; ++p)
    for (int q = 0; q < 4; ++q) out[static_cast<std::size_t>(p) * ld + static_cast<std::size_t>(q)] = total[p * 4 + q];
}

#define TILE4X4 tile
#include "aflp/kernels/tile.h"
#undef TILE4X4

}  // namespace lorvane::kernels::avx512

namespace lorvane::kernels {
void avx512count(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0, int ni, int j0, int nj,
                 const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  avx512::countrectangle(x, stride, words, i0, ni, j0, nj, planes, nplanes, out, ld);
}
}  // namespace lorvane::kernels
