#include "core/convert.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

namespace lorvane {

int texttoint(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

double texttoreal(std::string_view s) {
  const std::string text(s.substr(0, s.find('\0')));
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace lorvane
