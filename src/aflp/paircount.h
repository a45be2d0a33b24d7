#pragma once
// Shared-band counts of pairs of strains from packed bits, by the fastest
// kernel the processor runs, and threads over blocks of rows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "aflp/bitmatrix.h"

namespace lorvane {

// a[i][j] for the rows i0 .. i0 + ni - 1 and j0 .. j0 + nj - 1 (all four
// multiples of 4) of one matrix: popcount(x_i AND x_j) over the first
// `words` words, or with planes (nplanes rows of the same stride)
// sum over t of 2^t popcount(x_i AND x_j AND plane_t). Written to
// out[(i - i0) * ld + (j - j0)].
using SharedCountFunction = void (*)(const std::uint64_t* x, std::size_t stride, std::size_t words, int i0,
                                     int ni, int j0, int nj, const std::uint64_t* planes, int nplanes,
                                     std::int64_t* out, std::size_t ld);

// The same counts from the strains of the columns transposed into panels
// of 8 (see transposecolumns); j0 and nj multiples of 8. Each lane sums one
// pair, so nothing is summed across lanes: faster, above all on short rows.
using ColumnCountFunction = void (*)(const std::uint64_t* x, std::size_t stride, std::size_t words,
                                     const std::uint64_t* xt, int i0, int ni, int j0, int nj,
                                     const std::uint64_t* planes, int nplanes, std::int64_t* out, std::size_t ld);

// For bands with missing scores: s_i holds the bands scored in strain i
// (x_i within it). The bands scored in both strains whose scores differ,
// popcount((x_i XOR x_j) AND s_i AND s_j), weighted by the planes as the
// shared count is; rows and columns as for SharedCountFunction.
using DifferCountFunction = void (*)(const std::uint64_t* x, const std::uint64_t* s, std::size_t stride,
                                     std::size_t words, int i0, int ni, int j0, int nj, const std::uint64_t* planes,
                                     int nplanes, std::int64_t* out, std::size_t ld);

struct PairKernel {
  const char* name;
  SharedCountFunction count;
  // Bits set in a block of words (a multiple of 8) with the same
  // instructions: the machine's ceiling for the benchmarks.
  std::uint64_t (*total)(const std::uint64_t* x, std::size_t words);
  DifferCountFunction differ;
  ColumnCountFunction countcolumns = nullptr;  // where the instruction set has one
};

// The strains as panels of 8: word w of strain 8 P + lane at
// ((P * words) + w) * 8 + lane, strains past the last one zero.
std::vector<std::uint64_t> transposecolumns(const BitMatrix& x);

// Every kernel this build has that the processor can run, the widest last.
const std::vector<PairKernel>& availablekernels();
// The kernel of that name, or the widest when no kernel has it.
const PairKernel& pairkernel(const std::string& name);

// Counts of a band of rows against a band of columns, spread over threads.
class PairCounter {
 public:
  // planes: nplanes rows of multiplicity bits (bit planes), or none. With
  // `scored`, the counts are those of the bands that differ where both
  // strains are scored (DifferCountFunction) instead of the shared ones.
  PairCounter(const BitMatrix& x, const BitMatrix* planes, int nplanes, const PairKernel& kernel, int threads,
              const BitMatrix* scored = nullptr);
  // Other planes for the next counts.
  void setplanes(const BitMatrix* planes, int nplanes) {
    planes_ = planes && nplanes > 0 ? planes->data() : nullptr;
    nplanes_ = planes ? nplanes : 0;
  }
  // Counts for rows [r0, r1) against columns [c0, c1), 0-based, r0 a
  // multiple of 4. With upper, only what pairs j > i need is computed.
  // Cell (i, j) is at(i, j) afterwards.
  void count(int r0, int r1, int c0, int c1, bool upper);
  std::int64_t at(int i, int j) const {
    return out_[static_cast<std::size_t>(i - r0_) * ld_ + static_cast<std::size_t>(j - c0_)];
  }

 private:
  const BitMatrix& x_;
  const BitMatrix* scored_;
  std::vector<std::uint64_t> columns_;  // transposed panels, when the kernel counts from them
  const std::uint64_t* planes_;
  int nplanes_;
  const PairKernel& kernel_;
  int threads_;
  int r0_ = 0, c0_ = 0;
  std::size_t ld_ = 0;
  std::vector<std::int64_t> out_;
};

// popcount(x_i AND x_j) (weighted by the planes, when given) of one pair;
// with `y`, popcount(x_i AND y_j).
std::int64_t sharedcount(const BitMatrix& x, int i, int j, const BitMatrix* planes, int nplanes,
                         const BitMatrix* y = nullptr);

}  // namespace lorvane
