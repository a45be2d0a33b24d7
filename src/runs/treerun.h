#pragma once
// The tree of a reference table, then the trees of its replicates: the
// support of the reference's edges, the consensus, and one Newick line per
// replicate, written as one set of files. Shared by the tree options.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "aflp/pairtable.h"
#include "core/runcontext.h"
#include "core/textio.h"
#include "runs/runresult.h"
#include "trees/tree.h"

namespace lorvane {

// How a tree is built from a table: 2 UPGMA, any other value neighbor-joining.
enum class TreeMethod : int { NeighborJoining = 1, Upgma = 2 };

// What the replicates of a run came to, before its files are written.
struct TreeTally {
  const Tree* reference;  // without its support; none when not made (strains() instead)
  const Consensus& consensus;
  CFile& replicates;  // their Newick lines, not committed
};

class TreeRun {
 public:
  // Opens STEM.nwk, with `replicates` STEM.reps.nwk and with `consensus` too STEM.cons.nwk.
  // Tables of repeated names, and tables whose distances are so large that
  // a tree's lengths would go beyond the largest number, stop the run.
  TreeRun(RunContext& ctx, const std::string& stem, TreeMethod method, bool replicates, bool consensus,
          const char* operation);

  // The reference table's tree (kept in the result when the caller draws
  // it, with the table when `keeptable`).
  void reference(DistanceTable&& t, bool keeptable);
  // Instead, only the strains of the replicates (a shard whose reference
  // tree another shard makes).
  void strains(const std::vector<std::string>& names);
  // Replicate k; total is the count expected (an estimate while reading).
  // Replicates are built a batch at a time, one per thread.
  void replicate(DistanceTable&& t, int k, int total);

  // Replicates whose tables are made on the worker threads too: `slots`
  // trees under way at once, made(table, slot) there, taken(k, ...) in order.
  const std::vector<std::string>& names() const { return names_; }
  void beginslots(int slots);
  void made(HalfTable& table, int k, int slot) { make(names_, &table.lower, k, slots_[static_cast<std::size_t>(slot)]); }
  void taken(int k, int total, int slot) { take(slots_[static_cast<std::size_t>(slot)], k, total); }

  // Labels the support, writes and commits the files, reports them.
  std::shared_ptr<RunResult> finish();
  // Instead, finish() hands the tally to `write` (a shard of the run). Given
  // before reference(), which then counts no support: the merge does.
  void toshard(std::function<std::shared_ptr<RunResult>(const TreeTally&)> write) { toshard_ = std::move(write); }

 private:
  // What a replicate's tree, made on a worker thread, is kept as until it is
  // taken: its splits and its Newick line (a batch holds many of them).
  struct Made {
    EdgeSplits edges;
    std::string line;
  };
  Tree build(DistanceTable&& t, const TreeSettings& s) const;
  void make(std::vector<std::string> names, LowerHalf* lower, int k, Made& made) const;
  void take(Made& made, int k, int total);
  void flush();

  RunContext& ctx_;
  bool upgma_;
  const char* operation_;
  ProgressWindow progress_;
  TreeSettings settings_;
  OutputFile tree_, reps_, cons_;
  std::vector<std::string> names_;
  Tree reference_;
  std::shared_ptr<const DistanceTable> table_;
  std::optional<SupportCounter> support_;
  Consensus consensus_;
  std::vector<DistanceTable> batch_;
  std::vector<LowerHalf> spare_;
  std::vector<std::pair<int, int>> steps_;
  std::vector<Made> slots_;
  int count_ = 0;
  std::function<std::shared_ptr<RunResult>(const TreeTally&)> toshard_;
};

}  // namespace lorvane
