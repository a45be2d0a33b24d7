// The writers of distance tables: PHYLIP (square and lower triangular) and CSV.
#include <algorithm>
#include <charconv>
#include <unordered_map>

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

std::vector<std::string> phylipnames(const DistanceTable& t) {
  std::vector<std::string> names;
  names.reserve(t.names.size());
  bool strict = true;
  for (const std::string& name : t.names) {
    names.push_back(trimright(name));
    strict = strict && names.back().size() <= 10;
  }
  if (strict) return names;
  for (std::string& name : names) {
    for (char& c : name)
      if (blank(c)) c = '_';
    if (name.empty()) name.push_back('_');
  }
  return names;
}

std::optional<std::pair<int, int>> phylipclash(const DistanceTable& t) {
  const std::vector<std::string> names = phylipnames(t);
  std::unordered_map<std::string_view, int> seen;
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    if (const auto [at, fresh] = seen.emplace(names[static_cast<std::size_t>(i)], i); !fresh)
      return std::pair{at->second, i};
  return std::nullopt;
}

namespace {

// Strict names are padded to ten characters, relaxed ones to one more than
// the longest: a strict reading of a row then either gives the same name
// and values or fails (a long name's tail is one field too many). A name
// of ten characters is followed by a blank, so that its first value is a
// field of its own for every reader.
std::string phylip(const DistanceTable& t, bool square) {
  const int n = t.size();
  const std::vector<std::string> names = phylipnames(t);
  std::size_t width = 10;
  for (const std::string& name : names)
    if (name.size() > 10) width = std::max(width, name.size() + 1);
  std::string out = std::to_string(n) + "\n";
  for (int i = 0; i < n; ++i) {
    std::string name = names[static_cast<std::size_t>(i)];
    name.resize(std::max(width, name.size()), ' ');
    out += name;
    const int last = square ? n : i;
    if (last > 0 && !blank(out.back())) out += ' ';
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
