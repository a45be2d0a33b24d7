#pragma once
// The real table and the whole-table binary matrix reads and writes, which
// only the tests and the fuzz targets use: the straightforward computations
// the fast ones are checked against, and the checks of the matrix format.
//
// A real table has data cells [1..l][1..c]; row 0 and column 0 are not data,
// except that cell [0][0] holds l and cell [1][0] holds c, so the table
// carries its own dimensions. Storage is one contiguous block.
#include <cstddef>
#include <string>
#include <vector>

#include "aflp/bands.h"
#include "core/runcontext.h"
#include "core/textio.h"

namespace lorvane {

class RealTable {
 public:
  RealTable() = default;

  int rows() const { return static_cast<int>(at(0, 0)); }
  int cols() const { return static_cast<int>(at(1, 0)); }
  bool empty() const { return cells_.empty(); }

  double& operator()(int i, int j) { return cells_[index(i, j)]; }
  double operator()(int i, int j) const { return cells_[index(i, j)]; }
  // Row i as a pointer to its cell [i][0]; cells [i][1..c] follow.
  double* row(int i) { return &cells_[index(i, 0)]; }
  const double* row(int i) const { return &cells_[index(i, 0)]; }

 private:
  friend RealTable taballoc(int l, int c);
  double at(int i, int j) const { return cells_.empty() ? 0.0 : cells_[index(i, j)]; }
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * stride_ + static_cast<std::size_t>(j);
  }
  std::vector<double> cells_;
  std::size_t stride_ = 0;
};

// Allocate a real table of l rows and c columns, every data cell 0.0.
// Error stop "Error: insufficient memory (taballoc)" when it cannot be had.
RealTable taballoc(int l, int c);

// Write the whole table as a binary matrix file, trailer included. Error
// stop for more than 999999 rows or columns, which the trailer cannot hold.
void ecrmat(const RealTable& t, const std::string& path);
// Fill an allocated table from the body of a binary matrix file.
void lecmat(RealTable& t, const std::string& path);

// The band values (0 to 9) of a band-pattern file as the reader stores them
// in its scratch file (read in the simple computation's way).
RealTable readbandvalues(const std::string& path);

// A band reader's events, not told to anyone.
struct SilentBands : BandEvents {
  void counts(int, int) override {}
  void strain(int, const std::string&) override {}
};

}  // namespace lorvane
