#pragma once
// Triangle text matrices: a count line, then per strain its name, i - 1
// blank fields of six spaces, for the shared-band table its diagonal value,
// and the upper triangle, each value narrowed to single precision.
#include "core/table.h"
#include "core/textio.h"

namespace lorvane {

enum class TriangleKind {
  Real,    // "%5.3f " values, no diagonal
  Counts,  // "%5.0f " values, diagonal included
};

void writetriangle(CFile& out, const RealTable& t, const CharTable& names, TriangleKind kind);

// One "%5.3f " or "%5.0f " field of a value narrowed to single precision.
void appendfield(std::string& line, double value, TriangleKind kind);

}  // namespace lorvane
