#include "aflp/triangle.h"

#include <cstdio>

namespace lorvane {

void appendfield(std::string& line, double value, TriangleKind kind) {
  char field[64];
  const double narrowed = static_cast<float>(value);
  const int n = std::snprintf(field, sizeof field, kind == TriangleKind::Real ? "%5.3f " : "%5.0f ",
                              narrowed);
  line.append(field, static_cast<std::size_t>(n));
}

void writetriangle(CFile& out, const RealTable& t, const CharTable& names, TriangleKind kind) {
  const int n = t.rows();
  out.print("%d\n", n);
  std::string line;
  for (int i = 1; i <= n; ++i) {
    line.assign(names[i]);
    line.append(static_cast<std::size_t>(i - 1) * 6, ' ');
    if (kind == TriangleKind::Counts) appendfield(line, t(i, i), kind);
    const double* row = t.row(i);
    for (int j = i + 1; j <= n; ++j) appendfield(line, row[j], kind);
    line.push_back('\n');
    out.text(line);
  }
}

}  // namespace lorvane
