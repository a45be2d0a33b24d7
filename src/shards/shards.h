#pragma once
// Runs in shards: a run given a ShardPart (RunContext::shard) computes only
// its share of the replicates or permutations, drawn exactly as the whole
// run draws them, and writes a shard file (shardfile.h) beside its input
// instead of its outputs: INPUT.shard-I-of-N.VERB. The merge of the N shards
// writes the whole run's files byte for byte.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "aflp/tablewriters.h"
#include "core/runcontext.h"
#include "ordination/mantel.h"
#include "runs/distanceruns.h"
#include "runs/populationruns.h"
#include "runs/runresult.h"
#include "runs/tableruns.h"
#include "runs/treeruns.h"
#include "shards/shardfile.h"

namespace lorvane {

// The items (replicates, permutations) of a run of `total` that it
// computes: all of them, or its shard's range. A shard without a seed
// given stops the run: its draws would not be those of the other shards.
ItemRange shareof(const RunContext& ctx, int total);

// Option 2: the tables written to `outputs` (not committed), a block each.
std::shared_ptr<const RunResult> bootstrapshard(RunContext& ctx, const BootstrapRequest& request, OutputSet& outputs);
// Option 4: what TreeRun::finish hands over instead of writing its files.
std::function<std::shared_ptr<RunResult>(const TreeTally&)> boottreeshard(RunContext& ctx,
                                                                          const BootTreeRequest& request);
// Option 7: the count of permutations at least as large, and the observed r.
std::shared_ptr<const RunResult> mantelshard(RunContext& ctx, const MantelRequest& request, const MantelResult& r);

// Option 11: the counts of permutations as extreme as observed, and the
// table they test.
std::shared_ptr<const RunResult> amovashard(RunContext& ctx, const AmovaRequest& request, const AmovaTable& table,
                                            const std::vector<long long>& counts);

// The files of the whole run from all its shards, in any order, written
// beside the first shard (or in the output folder) under the names the
// whole run gives them. Error stop, with nothing written, when a shard is
// missing, given twice, damaged or of another run.
std::shared_ptr<const RunResult> mergeshards(RunContext& ctx, const std::vector<std::string>& paths);

}  // namespace lorvane
