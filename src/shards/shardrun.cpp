#include <cstdio>

#include "core/messages.h"
#include "runs/runsupport.h"
#include "shards/kinds.h"
#include "shards/sha256.h"
#include "shards/shards.h"

namespace lorvane {

const std::vector<ShardKind>& shardkinds() {
  static const std::vector<ShardKind> kinds{
      {"bootstrap", "replicates", mergebootstrap},
      {"bootstrap-tree", "replicates", mergetrees},
      {"mantel", "permutations", mergemantel},
      {"amova", "permutations", mergeamova},
  };
  return kinds;
}

const ShardKind* findkind(std::string_view name) {
  for (const ShardKind& k : shardkinds())
    if (k.name == name) return &k;
  return nullptr;
}

ItemRange shareof(const RunContext& ctx, int total) {
  if (!ctx.shard) return ItemRange{1, total};
  if (!ctx.settings.seed) errorstop("Error: a shard needs the seed of its run (--seed or LORVANE_SEED)");
  return shardrange(*ctx.shard, total);
}

ShardHeader shardheader(const RunContext& ctx, std::string_view kind, const std::vector<std::string>& inputs,
                        std::string parameters, int total) {
  ShardHeader h;
  h.kind = kind;
  for (const std::string& path : inputs) {
    const auto slash = path.find_last_of('/');
    h.inputs.push_back({filesha256(path, "shard"), slash == std::string::npos ? path : path.substr(slash + 1)});
  }
  h.parameters = std::move(parameters);
  h.seed = ctx.settings.seedvalue();
  h.part = *ctx.shard;
  h.range = shardrange(h.part, total);
  h.total = total;
  return h;
}

std::shared_ptr<RunResult> commitshard(RunContext& ctx, ShardWriter& writer, const ShardHeader& header,
                                       const std::string& input, const char* operation) {
  const std::string path = outputstem(ctx, input) + ".shard-" + std::to_string(header.part.index) + "-of-" +
                           std::to_string(header.part.count) + "." + header.kind;
  writer.commit(path, operation);
  const std::string items(findkind(header.kind)->items);
  if (header.range.count > 0)
    ctx.report.print("Shard %d of %d: %s %d to %d of %d\n", header.part.index, header.part.count, items.c_str(),
                     header.range.first, header.range.last(), header.total);
  else
    ctx.report.print("Shard %d of %d: none of the %d %s\n", header.part.index, header.part.count, header.total,
                     items.c_str());
  ctx.report.print("Shard file: %s\n", path.c_str());
  auto result = std::make_shared<RunResult>();
  result->wrote(path);
  return result;
}

OutputFile& MergeJob::open(const std::string& extension) {
  outputs.push_back(openoutput(stem + extension, "merge"));
  return outputs.back();
}

void MergeJob::concatenate(const std::string& block) {
  OutputFile& out = open(block);
  for (const ShardReader& s : shards) s.copy(block, out);
}

}  // namespace lorvane
