// The kernel for processors with AVX-512 VPOPCNTDQ: eight words per
// instruction (this source is compiled with -mavx512f -mavx512vpopcntdq).
// GCC 12's AVX-512 headers fill unused operands from uninitialised
// variables, which its own warnings then report.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "aflp/kernels/kernels.h"

namespace lorvane::kernels::avx512 {

// Sixteen sums of eight 64-bit lanes, by a tree: pairs within 128-bit
// lanes, then across them; acc[4p + q] goes to out[p * ld + q].
inline void reduce16(const __m512i* acc, std::int64_t* out, std::size_t ld) {
  __m512i u[8], w[4], x[2];
  for (int k = 0; k < 8; ++k)
    u[k] = _mm512_add_epi64(_mm512_unpacklo_epi64(acc[2 * k], acc[2 * k + 1]),
                            _mm512_unpackhi_epi64(acc[2 * k], acc[2 * k + 1]));
  for (int k = 0; k < 4; ++k)
    w[k] = _mm512_add_epi64(_mm512_shuffle_i64x2(u[2 * k], u[2 * k + 1], _MM_SHUFFLE(2, 0, 2, 0)),
                            _mm512_shuffle_i64x2(u[2 * k], u[2 * k + 1], _MM_SHUFFLE(3, 1, 3, 1)));
  for (int k = 0; k < 2; ++k)
    x[k] = _mm512_add_epi64(_mm512_shuffle_i64x2(w[2 * k], w[2 * k + 1], _MM_SHUFFLE(2, 0, 2, 0)),
                            _mm512_shuffle_i64x2(w[2 * k], w[2 * k + 1], _MM_SHUFFLE(3, 1, 3, 1)));
  // x[0] holds the sums of acc[0..7], x[1] those of acc[8..15].
  for (int k = 0; k < 2; ++k) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + static_cast<std::size_t>(2 * k) * ld),
                        _mm512_castsi512_si256(x[k]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + static_cast<std::size_t>(2 * k + 1) * ld),
                        _mm512_extracti64x4_epi64(x[k], 1));
  }
}

inline void tile(const std::uint64_t* xi, const std::uint64_t* xj, std::size_t stride, std::size_t words,
                 const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  __m512i acc[16];
  for (auto& v : acc) v = _mm512_setzero_si512();
  for (std::size_t w = 0; w < words; w += 8) {  // rows are padded to 8 words with zeros
    const __m512i a0 = _mm512_load_si512(xi + w), a1 = _mm512_load_si512(xi + stride + w),
                  a2 = _mm512_load_si512(xi + 2 * stride + w), a3 = _mm512_load_si512(xi + 3 * stride + w);
    const __m512i b0 = _mm512_load_si512(xj + w), b1 = _mm512_load_si512(xj + stride + w),
                  b2 = _mm512_load_si512(xj + 2 * stride + w), b3 = _mm512_load_si512(xj + 3 * stride + w);
    if (nplanes == 0) {
#define PAIR(k, a, b) acc[k] = _mm512_add_epi64(acc[k], _mm512_popcnt_epi64(_mm512_and_si512(a, b)))
      PAIR(0, a0, b0), PAIR(1, a0, b1), PAIR(2, a0, b2), PAIR(3, a0, b3);
      PAIR(4, a1, b0), PAIR(5, a1, b1), PAIR(6, a1, b2), PAIR(7, a1, b3);
      PAIR(8, a2, b0), PAIR(9, a2, b1), PAIR(10, a2, b2), PAIR(11, a2, b3);
      PAIR(12, a3, b0), PAIR(13, a3, b1), PAIR(14, a3, b2), PAIR(15, a3, b3);
#undef PAIR
      continue;
    }
    for (int t = 0; t < nplanes; ++t) {  // weight 2^t: counts shifted by t
      const __m512i p = _mm512_load_si512(planes + static_cast<std::size_t>(t) * stride + w);
      const __m128i shift = _mm_cvtsi32_si128(t);
      const __m512i c0 = _mm512_and_si512(a0, p), c1 = _mm512_and_si512(a1, p), c2 = _mm512_and_si512(a2, p),
                    c3 = _mm512_and_si512(a3, p);
#define PAIR(k, a, b) \
  acc[k] = _mm512_add_epi64(acc[k], _mm512_sll_epi64(_mm512_popcnt_epi64(_mm512_and_si512(a, b)), shift))
      PAIR(0, c0, b0), PAIR(1, c0, b1), PAIR(2, c0, b2), PAIR(3, c0, b3);
      PAIR(4, c1, b0), PAIR(5, c1, b1), PAIR(6, c1, b2), PAIR(7, c1, b3);
      PAIR(8, c2, b0), PAIR(9, c2, b1), PAIR(10, c2, b2), PAIR(11, c2, b3);
      PAIR(12, c3, b0), PAIR(13, c3, b1), PAIR(14, c3, b2), PAIR(15, c3, b3);
#undef PAIR
    }
  }
  reduce16(acc, out, ld);
}

// The bands that differ where both strains are scored: per column strain
// its words are loaded once, (x_i XOR x_j) AND s_i in one ternary-logic
// instruction, then AND s_j.
inline void differtile(const std::uint64_t* xi, const std::uint64_t* si, const std::uint64_t* xj,
                       const std::uint64_t* sj, std::size_t stride, std::size_t words, const std::uint64_t* planes,
                       int nplanes, std::int64_t* out, std::size_t ld) {
  __m512i acc[16];
  for (auto& v : acc) v = _mm512_setzero_si512();
  const int passes = nplanes > 0 ? nplanes : 1;
  for (std::size_t w = 0; w < words; w += 8) {
    __m512i a[4], sa[4];
    for (int r = 0; r < 4; ++r) {
      a[r] = _mm512_load_si512(xi + static_cast<std::size_t>(r) * stride + w);
      sa[r] = _mm512_load_si512(si + static_cast<std::size_t>(r) * stride + w);
    }
    for (int t = 0; t < passes; ++t) {
      __m512i c[4];
      const __m128i shift = _mm_cvtsi32_si128(t);
      if (nplanes > 0) {
        const __m512i p = _mm512_load_si512(planes + static_cast<std::size_t>(t) * stride + w);
        for (int r = 0; r < 4; ++r) c[r] = _mm512_and_si512(sa[r], p);
      } else {
        for (int r = 0; r < 4; ++r) c[r] = sa[r];
      }
      for (int q = 0; q < 4; ++q) {
        const __m512i b = _mm512_load_si512(xj + static_cast<std::size_t>(q) * stride + w);
        const __m512i sb = _mm512_load_si512(sj + static_cast<std::size_t>(q) * stride + w);
        for (int r = 0; r < 4; ++r) {
          // 0x28: (A XOR B) AND C.
          const __m512i d = _mm512_and_si512(_mm512_ternarylogic_epi64(a[r], b, c[r], 0x28), sb);
          __m512i n = _mm512_popcnt_epi64(d);
          if (nplanes > 0) n = _mm512_sll_epi64(n, shift);
          acc[r * 4 + q] = _mm512_add_epi64(acc[r * 4 + q], n);
        }
      }
    }
  }
  reduce16(acc, out, ld);
}

#define TILE4X4 tile
#define DIFFER4X4 differtile
#include "aflp/kernels/tile.h"
#undef DIFFER4X4
#undef TILE4X4

// Short rows: strains of the columns side by side in the lanes (transposed
// panels of 8 strains), so each lane sums one pair and nothing is reduced.
// Four rows against P panels; with planes, a row word is weighed first.
template <int P>
inline void columntile(const std::uint64_t* const* xi, std::size_t stride, std::size_t words,
                       const std::uint64_t* panel, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                       std::size_t ld) {
  __m512i acc[4][P];
  for (auto& row : acc)
    for (auto& v : row) v = _mm512_setzero_si512();
  for (std::size_t w = 0; w < words; ++w) {
    __m512i b[P];
    for (int p = 0; p < P; ++p) b[p] = _mm512_loadu_si512(panel + (static_cast<std::size_t>(p) * words + w) * 8);
    if (nplanes == 0) {
      for (int r = 0; r < 4; ++r) {
        const __m512i a = _mm512_set1_epi64(static_cast<long long>(xi[r][w]));
        for (int p = 0; p < P; ++p)
          acc[r][p] = _mm512_add_epi64(acc[r][p], _mm512_popcnt_epi64(_mm512_and_si512(a, b[p])));
      }
      continue;
    }
    for (int t = 0; t < nplanes; ++t) {
      const std::uint64_t weight = planes[static_cast<std::size_t>(t) * stride + w];
      const __m128i shift = _mm_cvtsi32_si128(t);
      for (int r = 0; r < 4; ++r) {
        const __m512i a = _mm512_set1_epi64(static_cast<long long>(xi[r][w] & weight));
        for (int p = 0; p < P; ++p)
          acc[r][p] = _mm512_add_epi64(
              acc[r][p], _mm512_sll_epi64(_mm512_popcnt_epi64(_mm512_and_si512(a, b[p])), shift));
      }
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int p = 0; p < P; ++p) _mm512_storeu_si512(out + static_cast<std::size_t>(r) * ld + 8 * p, acc[r][p]);
}

}  // namespace lorvane::kernels::avx512

namespace lorvane::kernels {
void avx512countcolumns(const std::uint64_t* x, std::size_t stride, std::size_t words, const std::uint64_t* xt,
                        int i0, int ni, int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                        std::size_t ld) {
  for (int i = i0; i < i0 + ni; i += 4) {
    const std::uint64_t* xi[4];
    for (int r = 0; r < 4; ++r) xi[r] = x + static_cast<std::size_t>(i + r) * stride;
    std::int64_t* o = out + static_cast<std::size_t>(i - i0) * ld;
    int j = j0;
    for (; j + 24 <= j0 + nj; j += 24)
      avx512::columntile<3>(xi, stride, words, xt + static_cast<std::size_t>(j) * words, planes, nplanes,
                            o + (j - j0), ld);
    if (j + 16 <= j0 + nj) {
      avx512::columntile<2>(xi, stride, words, xt + static_cast<std::size_t>(j) * words, planes, nplanes,
                            o + (j - j0), ld);
      j += 16;
    }
    if (j < j0 + nj)
      avx512::columntile<1>(xi, stride, words, xt + static_cast<std::size_t>(j) * words, planes, nplanes,
                            o + (j - j0), ld);
  }
}

void avx512count(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0, int ni, int j0, int nj,
                 const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld) {
  avx512::countrectangle(x, stride, words, i0, ni, j0, nj, planes, nplanes, out, ld);
}
void avx512differ(const std::uint64_t* x, const std::uint64_t* s, std::size_t stride, std::size_t words, int i0,
                  int ni, int j0, int nj, const std::uint64_t* planes, int nplanes, std::int64_t* out,
                  std::size_t ld) {
  avx512::differrectangle(x, s, stride, words, i0, ni, j0, nj, planes, nplanes, out, ld);
}
std::uint64_t avx512total(const std::uint64_t* x, std::size_t words) {
  __m512i s0 = _mm512_setzero_si512(), s1 = _mm512_setzero_si512();
  std::size_t w = 0;
  for (; w + 16 <= words; w += 16) {
    s0 = _mm512_add_epi64(s0, _mm512_popcnt_epi64(_mm512_load_si512(x + w)));
    s1 = _mm512_add_epi64(s1, _mm512_popcnt_epi64(_mm512_load_si512(x + w + 8)));
  }
  if (w < words) s0 = _mm512_add_epi64(s0, _mm512_popcnt_epi64(_mm512_load_si512(x + w)));
  alignas(64) std::uint64_t lanes[8];
  _mm512_store_si512(lanes, _mm512_add_epi64(s0, s1));
  std::uint64_t sum = 0;
  for (std::uint64_t v : lanes) sum += v;
  return sum;
}
}  // namespace lorvane::kernels
