// Option 2 in shards: each shard holds its replicates' tables as the whole
// run writes them, and the merge puts them one after the other.
#include <cstdio>

#include "shards/kinds.h"
#include "shards/shards.h"

namespace lorvane {

std::shared_ptr<const RunResult> bootstrapshard(RunContext& ctx, const BootstrapRequest& rq, OutputSet& outputs) {
  char parameters[128];
  std::snprintf(parameters, sizeof parameters, "index=%d sites=%d k=%.9g replicates=%d",
                rq.index == DistanceIndex::Jaccard ? 1 : 2, rq.sites, static_cast<double>(rq.k), rq.replicates);
  const ShardHeader header =
      shardheader(ctx, "bootstrap", {rq.path}, std::string(parameters) + settingstext(rq), rq.replicates);
  ShardWriter writer(header);
  const std::size_t stem = outputstem(ctx, rq.path).size();
  for (Output& out : outputs) writer.add(out.path.substr(stem), out.file);
  auto result = commitshard(ctx, writer, header, rq.path, "calcboot");
  ctx.report.print("Random number seed: %u\n", header.seed);
  return result;
}

void mergebootstrap(MergeJob& job) {
  for (const std::string& block : job.shards.front().blocks())
    if (block.starts_with('.')) job.concatenate(block);
}

}  // namespace lorvane
