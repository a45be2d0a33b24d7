#pragma once
// Options 3 and 4, "Tree from a distance table" and "Bootstrap tree".
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "aflp/pairtable.h"
#include "core/runcontext.h"
#include "runs/bandinput.h"
#include "runs/runresult.h"
#include "runs/treerun.h"

namespace lorvane {

struct TreeRequest {
  std::string path;
  TreeMethod method = TreeMethod::NeighborJoining;
  std::string replicates;  // a file of replicate tables; empty: no support
  bool consensus = false;  // with replicates, their consensus too
};

struct BootTreeRequest : BandInput {
  std::string path;  // a band-pattern file
  int sites = 0;
  float k = 1.0f;
  DistanceIndex index = DistanceIndex::Jaccard;
  bool jukescantor = false;
  int replicates = 0;
  TreeMethod method = TreeMethod::NeighborJoining;
};

// TABLE.nwk, the tree of the file's first table; with replicate tables,
// its edges' support, TABLE.reps.nwk and on request TABLE.cons.nwk.
std::shared_ptr<const RunResult> treefromtable(RunContext& ctx, const TreeRequest& request);
// BANDFILE.nwk, .cons.nwk and .reps.nwk from tables computed in memory.
std::shared_ptr<const RunResult> boottree(RunContext& ctx, const BootTreeRequest& request);

// What option 4 needs from the distance computations: for the band file,
// the reference table (all bands, k = 0; in a shard after the first, a
// table of the names only: the first shard's tree is the reference of all
// of them) and then, one at a time, the
// replicate tables (k = 1..replicates, in order), replicate k drawing the
// columns of replicate k of the bootstrap computation with the same seed;
// all in double precision and in memory, the distance of the index (the
// Jukes-Cantor corrected Dice distance when asked), the strain names as the
// band file gives them. The callback may keep the table (moving from it).
using ReplicateTable = std::function<void(int k, DistanceTable& table)>;
// With `slots`, replicates of few strains are made side by side instead, a
// batch at a time: slots->begin(batch) once, then slots->build(k, table,
// slot) on the worker threads (the table's values in the order of
// DistanceTable::lower) and slots->take(k, slot) on the calling thread in
// replicate order. Replicates of many strains still go to `table`.
struct ReplicateSlots {
  std::function<void(int batch)> begin;
  std::function<void(int k, HalfTable& table, int slot)> build;
  std::function<void(int k, int slot)> take;
};
// Whether a run makes the reference table and tree: every run but a shard
// after the first.
inline bool makesreference(const RunContext& ctx) { return !ctx.shard || ctx.shard->index == 1; }
// Returns the seed of the draws.
// `groups`, when given, receives the strains' groups and names.
std::uint32_t boottables(RunContext& ctx, const BootTreeRequest& request, const ReplicateTable& table,
                         const ReplicateSlots* slots = nullptr, RunResult* groups = nullptr);

}  // namespace lorvane
