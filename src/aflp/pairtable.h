#pragma once
// Tables of pair figures, computed by blocks of rows: the one road of every
// computation from band bits to distance tables. A PairSource gives the
// shared-band counts of the pairs (plain bits, or the bit planes of a
// bootstrap replicate); PairTable::run computes a block of rows on the
// worker threads with one PairFormulas and hands each finished block to its
// consumers in row order (triangle text, binary square); FigureTable fills
// one figure of a table in memory.
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "aflp/bitmatrix.h"
#include "aflp/paircount.h"
#include "core/lowerhalf.h"
#include "core/triangle.h"
#include "core/runcontext.h"

namespace lorvane {

// The distance index as its answer gives it: 1, 2 or 3; any other value
// (Other, or a number out of the list) computes no table.
enum class DistanceIndex : int { Jaccard = 1, Dice = 2, NeiLi = 3, Other = 0 };
enum class OutputForm { Text, Binary };

// What a run computes and writes.
struct DistanceOptions {
  DistanceIndex index = DistanceIndex::Jaccard;
  double k = 1.0;           // the weight of the unshared bands, from its single-precision answer
  int r = 1;                // the length of the recognition sites
  bool correction = false;  // the Jukes-Cantor correction of the Dice distance
  OutputForm form = OutputForm::Text;

  // The simple computation: the correction for the Dice index only; an
  // index out of the list computes nothing.
  static DistanceOptions simple(int r, float k, DistanceIndex index, bool jukescantor, bool binary);
  // The bootstrap: Jaccard, or for any other index Dice with the
  // correction; text only.
  static DistanceOptions bootstrap(int r, float k, DistanceIndex index);
};

enum class Figure { Distance, Similarity, Shared, Corrected, NeiLi };
inline constexpr int kFigures = 5;

// The text field of a figure as the text files write it ("%5.0f " for the
// shared bands, "%5.3f " otherwise, of the value narrowed to single
// precision), kept with the figures worked out once; length 0: not kept.
struct FigureText {
  char text[15];
  std::uint8_t length;
};

// The figures of one pair. `missing` has bit 1 << Figure for each figure
// without a finite value (stored as 999, as the files receive it). Trivial
// (PairFigures{} is all zero): arrays of them are not filled for nothing.
struct PairFigures {
  double distance, similarity, shared, corrected, neili;
  unsigned missing;  // not a character type: its stores alias nothing else
  bool nocorrection;  // a Dice distance of 0.75 or more: the correction has no value
  const FigureText* text;  // the kFigures text fields, when kept; null otherwise

  double value(Figure f) const;
  bool has(Figure f) const { return !(missing >> static_cast<int>(f) & 1u); }
};

// The formulas of every pair: shared bands (0 is taken as 1) and the bands
// b and c of the two strains give the figures of the index.
class PairFormulas {
 public:
  explicit PairFormulas(const DistanceOptions& options) : options_(options) {}
  PairFigures operator()(std::int64_t shared, long long b, long long c) const;
  // A pair with no band scored in both strains: no figure but the shared
  // count has a value.
  static PairFigures nothingcompared(std::int64_t shared);
  const DistanceOptions& options() const { return options_; }

 private:
  DistanceOptions options_;
};

enum class RowSpan { Upper, Whole };  // pairs j > i, or every j with the diagonal

// Shared-band counts of the pairs of strains: of the plain bits, or of the
// columns of a bootstrap replicate (each drawn column counted as often as it
// was drawn). With `scored` (the bands scored in each strain, for data with
// missing scores counted pairwise), each pair's bands are counted over the
// bands scored in both strains.
class PairSource {
 public:
  PairSource(const BitMatrix& bits, const ComputeSettings& settings, int threads,
             const BitMatrix* scored = nullptr);
  // Weigh the columns by their draws: drawn[q] is how often column q + 1 was drawn.
  void weigh(const std::vector<int>& drawn);
  int strains() const { return bits_.rows(); }
  // Bands of strain i (1-based), counted with their weights.
  int bands(int i) const { return bands_[static_cast<std::size_t>(i)]; }
  const std::vector<int>& bands() const { return bands_; }
  // The largest count a pair can have (the memo of the formulas is sized by it).
  long long ceiling() const { return ceiling_; }
  // Counts for rows [r0, r1) (0-based) against the columns the span needs.
  void count(int r0, int r1, RowSpan span);
  std::int64_t shared(int row, int col) const { return empty_ ? 0 : counter_.at(row, col); }
  bool pairwise() const { return scored_ != nullptr; }
  // Pairwise: the bands scored in both strains whose scores differ, so that
  // b + c of the pair is 2 shared + differ.
  std::int64_t differ(int row, int col) const { return empty_ ? 0 : differ_->at(row, col); }
  // Pairwise: no band is scored in both strains i and j (1-based).
  bool nothingcompared(int i, int j) const;
  // The count of one pair, strains i and j (1-based), recounted.
  std::int64_t sharedpair(int i, int j) const;

 private:
  const BitMatrix& bits_;
  const BitMatrix* scored_;
  BitMatrix planes_;
  int nplanes_ = 0;
  bool empty_ = false;  // a replicate without columns: every count is 0
  long long ceiling_ = 0;
  std::vector<int> bands_;
  PairCounter counter_;
  std::unique_ptr<PairCounter> differ_;  // pairwise only
};

// Takes the rows of a table as the driver computes them. The row calls come
// from the worker threads, one thread per slot (the row's place in its
// block); the others from the driver's thread, in row order.
class PairConsumer {
 public:
  virtual ~PairConsumer() = default;
  virtual void begintable(int /*n*/, int /*rowblock*/) {}
  virtual void beginrow(int slot, int i, int bands) = 0;
  // Pairs (i, j0) .. (i, j0 + count - 1), j0 1-based: f[k] for pair (i, j0 + k).
  virtual void fields(int slot, int j0, const PairFigures* const* f, int count) = 0;
  virtual void diagonal(int /*slot*/, int /*bands*/) {}  // whole rows only
  virtual void endrow(int /*slot*/) {}
  virtual void endblock(int /*r0*/, int /*r1*/) {}  // rows [r0, r1), 0-based, are complete
  virtual void endtable() {}
};

// What the pair loop tells its run, in the loop's order.
class PairEvents {
 public:
  virtual ~PairEvents() = default;
  // Pair (i, j), j < i, where strain i or j has no band (bi, bj: their bands).
  virtual void nobands(int i, int j, int bi, int bj) = 0;
  // Pair (i, j) of the simple computation whose Dice distance has no
  // Jukes-Cantor correction.
  virtual void nocorrection(int i, int j, double distance) = 0;
};

// The events of the pair loop, exactly in its order (i ascending, then
// j < i): a pair with a strain without bands, and (simple computation) a
// pair whose distance has no Jukes-Cantor correction; with a progress
// window, step i of n before strain i's.
class PairNotices {
 public:
  PairNotices(PairEvents& events, const PairSource& source, const PairFormulas* corrections,
              ProgressWindow* progress);
  // Pair (j, i), j > i, has no corrected value: its message comes with strain j.
  void flag(int i, int j) { pending_[static_cast<std::size_t>(j)].push_back(i); }
  bool wantsflags() const { return corrections_ != nullptr; }
  // Everything of strains up to `strain`.
  void upto(int strain);

 private:
  PairEvents& events_;
  const PairSource& source_;
  const PairFormulas* corrections_;
  ProgressWindow* progress_;
  std::vector<int> bandless_;
  std::vector<std::vector<int>> pending_;
  int next_ = 1;
};

// How a table is computed: rows or whole rows, threads, rows per block.
struct TableShape {
  RowSpan span = RowSpan::Upper;
  int threads = 1;
  int rowblock = 4;
};

// The row-block driver. Each block's counts, then its rows on the worker
// threads, then the consumers' endblock in order, then the notices of the
// strains whose pairs are all done. `operation` names the run in the memory
// error stop. One PairTable may run several sources at once (the memo of the
// formulas is shared). `pairs`, the pairs it will work out in all when known,
// lets a table that runs many times keep a larger memo.
class PairTable {
 public:
  PairTable(const DistanceOptions& options, long long ceiling, const char* operation, long long pairs = 0);
  const PairFormulas& formulas() const { return formulas_; }
  void run(PairSource& source, const TableShape& shape, std::span<PairConsumer* const> consumers,
           PairNotices* notices = nullptr) const;

 private:
  struct Memo;
  void row(const PairSource& source, int row, int slot, RowSpan span, std::span<PairConsumer* const> consumers,
           std::vector<int>* flags) const;
  void figures(const PairSource& source, int row, int bi, int j0, int j1, PairFigures* scratch,
               const PairFigures** out) const;
  PairFormulas formulas_;
  std::shared_ptr<Memo> memo_;
  const char* operation_;
};

// A full symmetric table in memory, double precision, kept as its lower
// half (core/triangle.h): pair (i, j), 1-based, at cell (i - 1, j - 1); 0 on
// the diagonal; NaN for a pair whose figure has no finite value.
struct HalfTable {
  int n = 0;  // strains
  LowerHalf lower;
  static std::size_t at(int i, int j) { return Triangle::at(i - 1, j - 1); }
  double value(int i, int j) const { return i == j ? 0.0 : lower[at(i, j)]; }
  // The first pair (i, j), i > j, in the pair loop's order without a finite
  // value; {0, 0} when every pair has one.
  std::pair<int, int> firstmissing() const;
};

// One figure of every pair straight into a HalfTable. Its memo keeps that
// figure only (8 bytes by (a, b + c)), so the counts a bootstrap meets stay
// in the processor's cache.
class FigureTable {
 public:
  // `pairs` as for PairTable.
  FigureTable(const DistanceOptions& options, Figure figure, long long ceiling, const char* operation,
              long long pairs = 0);
  // The table of `source`; `table.lower` is reused when it is there.
  void run(PairSource& source, const TableShape& shape, HalfTable& table) const;

 private:
  struct Memo;
  void row(const PairSource& source, int row, HalfTable& table) const;
  double figure(std::int64_t shared, long long b, long long c) const;
  PairFormulas formulas_;
  Figure figure_;
  std::shared_ptr<Memo> memo_;
  const char* operation_;
};

}  // namespace lorvane
