#include "ordination/tablecheck.h"

#include <algorithm>
#include <cmath>

#include "core/messages.h"

namespace lorvane {

void checkdistances(std::span<const double> values, std::size_t n, const std::string& what) {
  if (values.size() != n * n)
    throw ErrorStop(what + " holds " + std::to_string(values.size()) + " values for " + std::to_string(n) +
                    " strains; a square table needs " + std::to_string(n * n));
  double largest = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      const double v = values[i * n + j];
      auto cell = [&] { return " (row " + std::to_string(i + 1) + ", column " + std::to_string(j + 1) + ")"; };
      if (!std::isfinite(v)) throw ErrorStop(what + " holds a value that is not a finite number" + cell());
      if (v < 0) throw ErrorStop(what + " holds a negative distance" + cell());
      if (i == j && v != 0) throw ErrorStop(what + " has a distance other than 0 on its diagonal" + cell());
      largest = std::max(largest, v);
    }
  const double tolerance = 1e-9 * largest;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (std::abs(values[i * n + j] - values[j * n + i]) > tolerance)
        throw ErrorStop(what + " is not symmetric (row " + std::to_string(i + 1) + ", column " +
                        std::to_string(j + 1) + ")");
}

}  // namespace lorvane
