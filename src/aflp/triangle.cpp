#include "aflp/triangle.h"

#include "aflp/rowbuffer.h"
#include "core/fixedformat.h"

namespace lorvane {

void appendfield(std::string& line, double value, TriangleKind kind) {
  char field[kMaxFixedField];
  const float narrowed = static_cast<float>(value);
  const std::size_t n = kind == TriangleKind::Real ? fixed3field(field, narrowed) : fixed0field(field, narrowed);
  line.append(field, n);
}

void writetriangle(CFile& out, const RealTable& t, const CharTable& names, TriangleKind kind) {
  const int n = t.rows();
  out.print("%d\n", n);
  RowBuffer line;
  for (int i = 1; i <= n; ++i) {
    line.clear();
    line.append(names[i]);
    line.spaces(static_cast<std::size_t>(i - 1) * 6);
    if (kind == TriangleKind::Counts) line.count(t(i, i));
    const double* row = t.row(i);
    for (int j = i + 1; j <= n; ++j) {
      if (kind == TriangleKind::Real)
        line.real(row[j]);
      else
        line.count(row[j]);
    }
    line.lineend();
    out.bytes(line.data(), line.size());
  }
}

}  // namespace lorvane
