#include "tables/textfields.h"

#include <cstdio>

#include "tables/distancetable.h"

namespace lorvane {
namespace tablefields {

std::string trimright(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && (blank(s[e - 1]) || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return std::string(s.substr(0, e));
}

std::string trimmed(const std::string& s) {
  std::size_t b = 0;
  while (b < s.size() && blank(s[b])) ++b;
  return trimright(std::string_view(s).substr(b));
}

std::vector<std::string_view> tokens(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && blank(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !blank(s[i])) ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

std::string quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  // Control characters (a NUL would cut the message where it is printed)
  // are shown as \xNN.
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", u);
      q += code;
    } else {
      q += c;
    }
  }
  q += '"';
  return q;
}

bool allnumbers(const std::vector<std::string_view>& t) {
  double v;
  for (auto s : t)
    if (!tonumber(s, v)) return false;
  return true;
}

}  // namespace tablefields

std::vector<std::string> csvfields(const std::string& line, char delimiter) {
  std::vector<std::string> out(1);
  std::size_t keep = 0;  // the field up to its last character in quotes or not blank
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    std::string& field = out.back();
    if (quoted) {
      if (c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
        field += '"';
        ++k;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      keep = field.size();  // what the quotes hold stays whole
    } else if (c == '"') {
      quoted = true;
    } else if (c == delimiter) {
      field.resize(keep);
      out.emplace_back();
      keep = 0;
    } else if (!tablefields::blank(c)) {
      field += c;
      keep = field.size();
    } else if (!field.empty()) {
      field += c;  // a blank inside the field; trailing ones are cut at its end
    }
  }
  out.back().resize(keep);
  return out;
}

bool readnumber(std::string_view s, double& v) { return tablefields::tonumber(s, v); }

}  // namespace lorvane
