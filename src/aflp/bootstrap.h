#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "aflp/bands.h"
#include "aflp/pairtable.h"
#include "aflp/tablewriters.h"
#include "aflp/random.h"
#include "core/runcontext.h"

namespace lorvane {

// The files of a bootstrap computation: R replicates of the band columns
// drawn with replacement (`width` columns each, drawn from `seed`), each
// replicate's distance table appended to `distance` and, for the Dice index,
// its Jukes-Cantor corrected table to `corrected`.
struct ReplicateFiles {
  DistanceOptions options;  // as DistanceOptions::bootstrap makes them
  int width = 0;            // replicatewidth(bands, K)
  int repetitions = 0;
  std::uint32_t seed = 0;
  Output& distance;
  Output* corrected = nullptr;
  // The number of the first replicate: replicates first .. first +
  // repetitions - 1 of the run of that seed are written.
  int first = 1;
};
// The replicate tables as triangle text matrices, computed side by side or
// one at a time by their size; the pairs' events go to `events`.
void writereplicates(const ComputeContext& cc, const BandData& bands, const ReplicateFiles& files,
                     PairEvents& events);

// Takes table k: 0 the reference, 1 .. R the replicates. The table is
// overwritten by the next one once the function returns; the function may
// take its values (table.lower) instead.
using ReplicateTableFunction = std::function<void(int k, HalfTable& table)>;

// Where the replicates of a call lie in their run: from replicate `first`
// on, of `total` in all (0: as many as the call makes), which sizes the
// figures' memo as the whole run's; and whether it makes the reference table.
struct ReplicateShare {
  int first = 1;
  int total = 0;
  bool reference = true;
};

// The bootstrap in memory, in double precision: first (k = 0) the table of
// the figure (Figure::Distance, or Figure::Corrected with the Dice index and
// the correction) over all the bands of `bands`,
// then the tables of R replicates. Replicate k draws exactly the columns of
// replicate k of writereplicates with the same seed (settings) and options
// (DistanceOptions::bootstrap). A pair without a finite value is NaN in its
// table (HalfTable::firstmissing finds it). No report line, no progress.
// Of a share, the replicates are first .. first + R - 1 (k their numbers),
// and the reference table is made only when the share asks for it.
void bootstraptables(const ComputeSettings& settings, const BandData& bands, const DistanceOptions& options,
                     Figure figure, int repetitions, const ReplicateTableFunction& each,
                     const ReplicateShare& share = {});

// The replicates (k = 1 .. R) of bootstraptables side by side, `batch` at a
// time, each whole on one thread: build(k, table, slot) runs on the worker
// threads, slot (0 .. batch - 1) naming its replicate's place in the batch;
// then take(k, slot) runs on the calling thread, in replicate order. An
// error stop of build(k) comes out at take(k)'s turn, so the first failing
// replicate is the one reported whatever the threads did. No reference table.
// A share as for bootstraptables.
using ReplicateBuildFunction = std::function<void(int k, HalfTable& table, int slot)>;
using ReplicateTakeFunction = std::function<void(int k, int slot)>;
void bootstrapbatches(const ComputeSettings& settings, const BandData& bands, const DistanceOptions& options,
                      Figure figure, int repetitions, int batch, const ReplicateBuildFunction& build,
                      const ReplicateTakeFunction& take, const ReplicateShare& share = {});

// Columns drawn per replicate: m x K truncated (error stop beyond an int).
int replicatewidth(int m, double k);

// The columns of the replicates, drawn from one generator in replicate and
// column order: drawn[q] is how often column q + 1 was drawn.
class ReplicateDraws {
 public:
  ReplicateDraws(int m, int w, std::uint32_t seed) : m_(m), w_(w), rng_(seed) {}
  void next(std::vector<int>& drawn);
  // Passes over the draws of that many replicates (each takes w values, or
  // 2 w beyond 32,768 columns) without making them.
  void skip(int replicates);

 private:
  int m_, w_;
  Rng15 rng_;
};

// Column (1..m) drawn from a generator value v (0..32767): 1 + (v c m),
// with c the single-precision value nearest 1/32767.
int drawcolumn(int v, int m);
// Column (1..m) for files of more than 32,768 bands, where one value cannot
// reach every column: from two consecutive values, v = v1 * 32768 + v2
// (0 .. 2^30 - 1), the column 1 + floor(v m / 2^30).
int drawwidecolumn(int v1, int v2, int m);

}  // namespace lorvane
