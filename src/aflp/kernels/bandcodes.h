#pragma once
// The conversions of the band reader, with SSE2 where the processor has it
// (every x86-64 one): band codes to the 4-byte reals of the scratch file,
// those reals back to presence bits, and codes straight to presence bits.
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "aflp/bands.h"
#include "core/datafile.h"

namespace lorvane::bandcodes {

// Bits of the values above 0 among `count` (at most 64) little-endian reals.
inline std::uint64_t presenceword(const char* values, int count) {
  std::uint64_t word = 0;
  int k = 0;
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    const __m128 zero = _mm_setzero_ps();
    for (; k + 4 <= count; k += 4) {
      const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(values + 4 * k));
      word |= static_cast<std::uint64_t>(_mm_movemask_ps(_mm_cmpgt_ps(v, zero))) << k;
    }
  }
#endif
  for (; k < count; ++k) word |= static_cast<std::uint64_t>(getfloat(values + 4 * k) > 0) << k;
  return word;
}

// The 4 bytes a band code is stored as in the scratch file: its value as a
// little-endian single-precision real.
inline const std::array<std::uint32_t, 256> kCodeBytes = [] {
  std::array<std::uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    char b[4];
    putfloat(b, static_cast<float>(bandvalue(static_cast<char>(c))));
    std::memcpy(&t[static_cast<std::size_t>(c)], b, 4);
  }
  return t;
}();

// The codes as the scratch file stores them, 4 bytes each.
inline void codevalues(const char* codes, std::size_t count, char* to) {
  std::size_t k = 0;
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    // Sixteen at a time: the digit where the code is one, 0 elsewhere,
    // widened to 32 bits and converted.
    const __m128i zerochar = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9), zero = _mm_setzero_si128();
    for (; k + 16 <= count; k += 16) {
      const __m128i digits =
          _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + k)), zerochar);
      const __m128i isdigit = _mm_cmpeq_epi8(_mm_min_epu8(digits, nine), digits);
      const __m128i values = _mm_and_si128(digits, isdigit);
      const __m128i low = _mm_unpacklo_epi8(values, zero), high = _mm_unpackhi_epi8(values, zero);
      const __m128i quarters[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                                   _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
      for (int q = 0; q < 4; ++q)
        _mm_storeu_ps(reinterpret_cast<float*>(to + 4 * (k + 4 * static_cast<std::size_t>(q))),
                      _mm_cvtepi32_ps(quarters[q]));
    }
  }
#endif
  for (; k < count; ++k) {
    const std::uint32_t v = kCodeBytes[static_cast<unsigned char>(codes[k])];
    std::memcpy(to + 4 * k, &v, 4);
  }
}

// Bits of the codes "1" to "9" (the values above 0) among `count` codes,
// into words(count) words; the bits past `count` in its last word are 0.
inline void presencebits(const char* codes, std::size_t count, std::uint64_t* words) {
  std::size_t k = 0;
  for (; k + 64 <= count; k += 64) {
    std::uint64_t word = 0;
    int b = 0;
#if defined(__SSE2__)
    // Sixteen at a time: a code is present when code - '1' is at most 8.
    const __m128i one = _mm_set1_epi8('1'), eight = _mm_set1_epi8(8);
    for (; b < 64; b += 16) {
      const __m128i v = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + k + b)), one);
      const __m128i in = _mm_cmpeq_epi8(_mm_min_epu8(v, eight), v);
      word |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(in))) << b;
    }
#endif
    for (; b < 64; ++b) word |= static_cast<std::uint64_t>(bandvalue(codes[k + static_cast<std::size_t>(b)]) > 0) << b;
    words[k / 64] = word;
  }
  if (k < count) {
    std::uint64_t word = 0;
    for (std::size_t b = 0; k + b < count; ++b) word |= static_cast<std::uint64_t>(bandvalue(codes[k + b]) > 0) << b;
    words[k / 64] = word;
  }
}

}  // namespace lorvane::bandcodes
