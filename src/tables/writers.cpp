// The writers of distance tables: PHYLIP (square and lower triangular) and CSV.
#include <charconv>

#include "tables/distancetable.h"
#include "tables/textfields.h"

namespace lorvane {

using tablefields::blank;
using tablefields::trimright;

std::string shortestnumber(double v, bool single) {
  char text[64];
  const auto r = single ? std::to_chars(text, text + sizeof text, static_cast<float>(v))
                        : std::to_chars(text, text + sizeof text, v);
  return std::string(text, r.ptr);
}

namespace {

std::string phylip(const DistanceTable& t, bool square) {
  const int n = t.size();
  std::string out = std::to_string(n) + "\n";
  for (int i = 0; i < n; ++i) {
    std::string name = trimright(t.names[static_cast<std::size_t>(i)]);
    if (name.size() <= 10)
      name.resize(10, ' ');
    else
      name += ' ';
    out += name;
    const int last = square ? n : i;
    for (int j = 0; j < last; ++j) {
      if (j > 0) out += ' ';
      out += shortestnumber(t(i, j), t.single);
    }
    out += '\n';
  }
  return out;
}

}  // namespace

std::string csvfield(const std::string& s) {
  const bool quote = s.find_first_of(",\"\t\r\n") != std::string::npos ||
                     (!s.empty() && (blank(s.front()) || blank(s.back())));
  if (!quote) return s;
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string phylipsquare(const DistanceTable& t) { return phylip(t, true); }
std::string phyliplower(const DistanceTable& t) { return phylip(t, false); }

std::string csvtable(const DistanceTable& t) {
  const int n = t.size();
  std::string out;
  for (int i = 0; i < n; ++i) {
    out += ',';
    out += csvfield(t.names[static_cast<std::size_t>(i)]);
  }
  out += '\n';
  for (int i = 0; i < n; ++i) {
    out += csvfield(t.names[static_cast<std::size_t>(i)]);
    for (int j = 0; j < n; ++j) {
      out += ',';
      out += shortestnumber(t(i, j), t.single);
    }
    out += '\n';
  }
  return out;
}

}  // namespace lorvane
