#pragma once
// The kinds of shard file, one per verb that runs in shards: what its shard
// runs share (the header, the commit and the report) and how its shards
// are merged. A further kind is one entry of shardkinds() with its merge.
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/runcontext.h"
#include "core/textio.h"
#include "runs/runresult.h"
#include "shards/shardfile.h"

namespace lorvane {

// The merge of one run's shards, handed to its kind: the shards in order,
// checked to belong together, and the outputs the kind opens (committed
// together afterwards).
struct MergeJob {
  RunContext& ctx;
  const std::vector<ShardReader>& shards;
  std::string stem;  // the path the outputs' extensions go after
  std::deque<OutputFile> outputs;

  OutputFile& open(const std::string& extension);
  // The output of that extension: the shards' blocks of that name, in order.
  void concatenate(const std::string& block);
};

struct ShardKind {
  std::string_view name;   // the verb, and the extension of its shard files
  std::string_view items;  // "replicates", "permutations"
  void (*merge)(MergeJob& job);
};
const std::vector<ShardKind>& shardkinds();
const ShardKind* findkind(std::string_view name);

void mergebootstrap(MergeJob& job);
void mergetrees(MergeJob& job);
void mergemantel(MergeJob& job);
void mergeamova(MergeJob& job);

// The header of a shard run's file: the inputs hashed, the seed and range.
ShardHeader shardheader(const RunContext& ctx, std::string_view kind, const std::vector<std::string>& inputs,
                        std::string parameters, int total);
// Commits the shard file beside `input` (INPUT.shard-I-of-N.KIND), names
// its range and path in the report; the result lists it.
std::shared_ptr<RunResult> commitshard(RunContext& ctx, ShardWriter& writer, const ShardHeader& header,
                                       const std::string& input, const char* operation);

}  // namespace lorvane
