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

// The six characters of every common field, 0 to 9999 thousandths
// ("0.000 " to "9.999 ") or units ("    0 " to " 9999 "), each in 8 bytes
// so that a field is one 8-byte copy.
template <int Decimals>
inline constexpr auto kFieldTable = [] {
  struct Table {
    char text[10000 * 8];
  } t{};
  for (int v = 0; v < 10000; ++v) {
    char* p = t.text + 8 * v;
    const char d[4] = {static_cast<char>('0' + v / 1000), static_cast<char>('0' + v / 100 % 10),
                       static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
    if (Decimals == 3) {
      p[0] = d[0];
      p[1] = '.';
      p[2] = d[1];
      p[3] = d[2];
      p[4] = d[3];
    } else {
      p[0] = ' ';
      p[1] = v >= 1000 ? d[0] : ' ';
      p[2] = v >= 100 ? d[1] : ' ';
      p[3] = v >= 10 ? d[2] : ' ';
      p[4] = d[3];
    }
    p[5] = ' ';
  }
  return t;
}();

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
// decimals, sign and blank), and the room they need at `out`: a common field
// is written as 8 bytes, of which 6 count.
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
  if (digits < 10000 && !std::signbit(x)) {  // the common case: exactly six characters
    std::memcpy(out, fixedformat_detail::kFieldTable<Decimals>.text + 8 * digits, 8);
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
