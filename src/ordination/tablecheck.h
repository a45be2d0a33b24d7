#pragma once
// Checks shared by the analyses of a square distance table.
#include <cstddef>
#include <span>
#include <string>

namespace lorvane {

// A square table of n x n values in row order, with the strain names when
// the analysis matches tables by name.
struct TableRef {
  std::span<const std::string> names;
  std::span<const double> values;
  std::size_t size() const { return names.size(); }
};

// Raises an error stop, its message starting with `what` ("The table",
// "Table A"), unless `values` holds n x n finite values, no negative one,
// zeros on the diagonal, and d(i,j) = d(j,i) within 1e-9 of the largest value.
void checkdistances(std::span<const double> values, std::size_t n, const std::string& what);

}  // namespace lorvane
