// The merge of a run's shards: each read, checked to belong with the
// others, put in order, then handed to its kind, whose outputs are
// committed together.
#include <algorithm>
#include <cstdio>

#include "core/messages.h"
#include "shards/kinds.h"
#include "shards/shards.h"

namespace lorvane {

namespace {

std::string partname(const ShardHeader& h) {
  return "shard " + std::to_string(h.part.index) + " of " + std::to_string(h.part.count);
}

// Why shard `b` is not of the run of shard `a`; empty when it is.
std::string difference(const ShardHeader& a, const ShardHeader& b) {
  if (b.kind != a.kind) return "it is a shard of " + b.kind + ", not of " + a.kind;
  if (b.inputs.size() != a.inputs.size()) return "its input files differ";
  for (std::size_t k = 0; k < a.inputs.size(); ++k)
    if (!(b.inputs[k] == a.inputs[k]))
      return b.inputs[k].name == a.inputs[k].name
                 ? "its input file " + b.inputs[k].name + " has other content"
                 : "its input file is " + b.inputs[k].name + ", not " + a.inputs[k].name;
  if (b.parameters != a.parameters) return "its parameters are " + b.parameters + ", not " + a.parameters;
  if (b.seed != a.seed) return "its seed is " + std::to_string(b.seed) + ", not " + std::to_string(a.seed);
  if (b.part.count != a.part.count)
    return "it is one of " + std::to_string(b.part.count) + " shards, not " + std::to_string(a.part.count);
  if (b.total != a.total) return "its run has " + std::to_string(b.total) + " items, not " + std::to_string(a.total);
  return {};
}

// The shards of one run, each once, all of them: in shard order.
void checkrun(std::vector<ShardReader>& shards) {
  for (const ShardReader& s : shards) {
    const ShardReader& first = shards.front();
    if (const std::string why = difference(first.header(), s.header()); !why.empty())
      errorstop("Error: " + s.path() + " is not a shard of the run of " + first.path() + ": " + why + " (merge)");
    const ItemRange expected = shardrange(s.header().part, s.header().total);
    if (s.header().range.first != expected.first || s.header().range.count != expected.count) damagedshard(s.path());
  }
  const int of = shards.front().header().part.count;
  std::stable_sort(shards.begin(), shards.end(), [](const ShardReader& a, const ShardReader& b) {
    return a.header().part.index < b.header().part.index;
  });
  for (std::size_t k = 1; k < shards.size(); ++k)
    if (shards[k].header().part.index == shards[k - 1].header().part.index)
      errorstop("Error: " + partname(shards[k].header()) + " is given twice: " + shards[k - 1].path() + " and " +
                shards[k].path() + " (merge)");
  std::string missing;
  int count = 0;
  for (int index = 1, k = 0; index <= of; ++index) {
    if (k < static_cast<int>(shards.size()) && shards[static_cast<std::size_t>(k)].header().part.index == index) {
      ++k;
      continue;
    }
    missing += (missing.empty() ? "" : ", ") + std::to_string(index);
    ++count;
  }
  if (count > 0)
    errorstop("Error: " + std::string(count == 1 ? "shard " : "shards ") + missing + " of " + std::to_string(of) +
              (count == 1 ? " is" : " are") + " missing (merge)");
}

}  // namespace

std::shared_ptr<const RunResult> mergeshards(RunContext& ctx, const std::vector<std::string>& paths) {
  ctx.report.print("Lorvane: Merging shards\n");
  std::vector<ShardReader> shards;
  for (const std::string& path : paths) shards.emplace_back(path);
  if (shards.empty()) errorstop("Error: no shard file to merge (merge)");
  const ShardKind* kind = findkind(shards.front().header().kind);
  if (!kind)
    errorstop("Error: " + shards.front().path() + " is a shard of " + shards.front().header().kind +
              ", which this program does not merge (merge)");
  checkrun(shards);
  const std::string items(kind->items);
  for (const ShardReader& s : shards) {
    const ItemRange r = s.header().range;
    ctx.report.print("Shard file: %s (%s %d to %d)\n", s.path().c_str(), items.c_str(), r.first, r.last());
  }
  const ShardHeader& header = shards.front().header();
  const std::string& name = header.inputs.front().name;
  const std::string folder = ctx.outputfolder.empty() ? folderof(shards.front().path()) : ctx.outputfolder;
  MergeJob job{ctx, shards, folder + "/" + name, {}};
  kind->merge(job);
  std::vector<OutputFile*> outputs;
  for (OutputFile& out : job.outputs) outputs.push_back(&out);
  int error = 0;
  if (const int failed = OutputFile::commitset(outputs, &error); failed >= 0) {
    const std::string& path = outputs[static_cast<std::size_t>(failed)]->path();
    errorstop(filefault("Error: can't write output file " + path + " (merge)", path, error));
  }
  auto result = std::make_shared<RunResult>();
  for (const OutputFile& out : job.outputs) {
    ctx.report.print("Output file: %s\n", out.path().c_str());
    result->wrote(out.path());
  }
  ctx.report.print("Random number seed: %u\n", header.seed);
  return result;
}

}  // namespace lorvane
