#pragma once
// Real and character tables: the containers of every computation.
//
// A real table has data cells [1..l][1..c]; row 0 and column 0 are not data,
// except that cell [0][0] holds l and cell [1][0] holds c, so the table
// carries its own dimensions. Storage is one contiguous block.
#include <cstddef>
#include <string>
#include <vector>

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
  friend void tabrelease(RealTable& t);
  double at(int i, int j) const { return cells_.empty() ? 0.0 : cells_[index(i, j)]; }
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * stride_ + static_cast<std::size_t>(j);
  }
  std::vector<double> cells_;
  std::size_t stride_ = 0;
};

// Rows of short texts (strain names). Row 0 exists and is not used.
class CharTable {
 public:
  CharTable() = default;
  int rows() const { return static_cast<int>(rows_.size()) - 1; }
  int width() const { return width_; }
  std::string& operator[](int i) { return rows_[static_cast<std::size_t>(i)]; }
  const std::string& operator[](int i) const { return rows_[static_cast<std::size_t>(i)]; }

 private:
  friend CharTable tabcaralloc(int l, int c);
  friend void tabcarrelease(CharTable& t, int l);
  std::vector<std::string> rows_;
  int width_ = 0;
};

// Largest block the tables will ask for: the machine's physical memory.
// Asking for more is reported as a memory fault instead of letting the
// system overcommit and kill the process later.
std::size_t memorylimit();

// Allocate a real table of l rows and c columns, every data cell 0.0.
// Error stop "Error: insufficient memory (taballoc)" when it cannot be had.
RealTable taballoc(int l, int c);
void tabrelease(RealTable& t);

// Allocate l rows of empty text for names of up to 4*c - 1 characters.
CharTable tabcaralloc(int l, int c);
void tabcarrelease(CharTable& t, int l);

}  // namespace lorvane
