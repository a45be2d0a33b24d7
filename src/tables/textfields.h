#pragma once
// The fields of the table readers' lines: blanks, names, numbers. Only the
// readers and writers of tables use it.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace lorvane::tablefields {

// The value a table holds where a pair has none.
constexpr double kNoValue = 999.0;

inline bool blank(char c) { return c == ' ' || c == '\t'; }

// A whole field as a finite real: "-0.000", "1e-3", "+2" are numbers; "nan",
// "inf" and anything with other characters are not.
// Plain decimals of at most 15 digits ("0.123", "-0.000", "12"): the
// digits as an integer, divided by a power of ten. Both are exact, so the
// quotient is the correctly rounded value, as the full conversion gives it.
inline bool plaindecimal(std::string_view s, double& v) {
  static constexpr double kTen[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t k = 0;
  const bool minus = !s.empty() && s[0] == '-';
  if (minus) ++k;
  std::uint64_t m = 0;
  int digits = 0, decimals = -1;
  for (; k < s.size(); ++k) {
    const char c = s[k];
    if (c >= '0' && c <= '9') {
      m = m * 10 + static_cast<std::uint64_t>(c - '0');
      ++digits;
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 15 || decimals == 0) return false;
  v = static_cast<double>(m) / kTen[decimals < 0 ? 0 : decimals];
  if (minus) v = -v;
  return true;
}

// Kept out of line: inlined into the row reader it made the reading of
// large tables slower.
[[gnu::noinline]] inline bool tonumber(std::string_view s, double& v) {
  if (plaindecimal(s, v)) return true;
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

// The text without its trailing blanks and line ends.
std::string trimright(std::string_view s);
// Without its leading and trailing blanks and line ends.
std::string trimmed(const std::string& s);
// The words of a line, between blanks.
std::vector<std::string_view> tokens(std::string_view s);
// The text in double quotes, for messages; control characters as \xNN.
std::string quoted(std::string_view s);
// Every word a number.
bool allnumbers(const std::vector<std::string_view>& t);

}  // namespace lorvane::tablefields
