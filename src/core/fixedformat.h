#pragma once
// "%5.3f " and "%5.0f " fields of single-precision values without the
// formatted print, byte for byte what the C library writes.
//
// A float has 24 significant bits, so x * 1000 is exact in double precision
// and rounding it to an integer (half to even, as the C library rounds an
// exact decimal tie) gives the printed digits. Values too large for the
// integer path go through std::to_chars, which is exact as well; infinities
// and NaNs through the formatted print itself.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace lorvane {

namespace fixedformat_detail {

// Round to the nearest integer, ties to even (the default rounding mode):
// adding and taking away 2^52 leaves no fraction bits.
inline double roundeven(double v) {
  constexpr double big = 4503599627370496.0;  // 2^52
  return (v + big) - big;
}

// The field into `out`, padded on the left to width 5, then one blank.
inline std::size_t pad(char* out, const char* text, std::size_t length) {
  std::size_t at = 0;
  while (at + length < 5) out[at++] = ' ';
  std::memcpy(out + at, text, length);
  at += length;
  out[at++] = ' ';
  return at;
}

// "000" to "999", three characters each.
inline constexpr auto kThreeDigitTable = [] {
  struct Table {
    char text[3000];
  } t{};
  for (int v = 0; v < 1000; ++v) {
    t.text[3 * v] = static_cast<char>('0' + v / 100);
    t.text[3 * v + 1] = static_cast<char>('0' + v / 10 % 10);
    t.text[3 * v + 2] = static_cast<char>('0' + v % 10);
  }
  return t;
}();
inline constexpr const char* kThreeDigits = kThreeDigitTable.text;

template <int Decimals>
std::size_t slowfield(char* out, double x) {
  char text[400];
  std::size_t length = 0;
  if (std::isfinite(x)) {
    const auto r = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, Decimals);
    length = static_cast<std::size_t>(r.ptr - text);
  } else {
    const int n = std::snprintf(text, sizeof text, Decimals == 3 ? "%.3f" : "%.0f", x);
    length = n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  return pad(out, text, length);
}

}  // namespace fixedformat_detail

// Longest field the functions below write (to_chars of FLT_MAX with three
// decimals, sign and blank).
inline constexpr std::size_t kMaxFixedField = 48;

// Writes the field as snprintf(out, .., "%5.3f " or "%5.0f ", (double)v)
// would (without a terminating NUL); returns its length.
template <int Decimals>
inline std::size_t fixedfield(char* out, float v) {
  static_assert(Decimals == 0 || Decimals == 3);
  const double x = v;
  const double scaled = Decimals == 3 ? x * 1000.0 : x;  // exact
  const double magnitude = std::fabs(scaled);
  if (!(magnitude < 4.0e9)) return fixedformat_detail::slowfield<Decimals>(out, x);
  auto digits = static_cast<std::uint32_t>(fixedformat_detail::roundeven(magnitude));
  if (digits < 10000 && !std::signbit(x)) {  // the common case: exactly five characters
    const char* three = fixedformat_detail::kThreeDigits + 3 * (digits % 1000);
    char* p = out;
    if constexpr (Decimals == 3) {
      *p++ = static_cast<char>('0' + digits / 1000);
      *p++ = '.';
    } else {
      *p++ = ' ';
      *p++ = digits >= 1000 ? static_cast<char>('0' + digits / 1000) : ' ';
      *p++ = digits >= 100 ? three[0] : ' ';
      *p++ = digits >= 10 ? three[1] : ' ';
      *p++ = three[2];
      *p = ' ';
      return 6;
    }
    *p++ = three[0];
    *p++ = three[1];
    *p++ = three[2];
    *p = ' ';
    return 6;
  }
  char text[24];
  char* end = text + sizeof text;
  char* p = end;
  if constexpr (Decimals == 3) {
    std::uint32_t fraction = digits % 1000;
    digits /= 1000;
    for (int d = 0; d < 3; ++d) {
      *--p = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    *--p = '.';
  }
  do {
    *--p = static_cast<char>('0' + digits % 10);
    digits /= 10;
  } while (digits != 0);
  if (std::signbit(x)) *--p = '-';
  return fixedformat_detail::pad(out, p, static_cast<std::size_t>(end - p));
}

inline std::size_t fixed3field(char* out, float v) { return fixedfield<3>(out, v); }
inline std::size_t fixed0field(char* out, float v) { return fixedfield<0>(out, v); }

}  // namespace lorvane
