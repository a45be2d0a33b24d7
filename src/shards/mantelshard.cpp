// The Mantel test in shards: each shard counts the permutations of its
// range whose r is at least the observed one; the merge adds the counts.
#include <cstring>

#include "shards/kinds.h"
#include "shards/shards.h"

namespace lorvane {

std::shared_ptr<const RunResult> mantelshard(RunContext& ctx, const MantelRequest& rq, const MantelResult& r) {
  const bool spearman = rq.method == MantelMethod::Spearman;
  const std::string parameters =
      std::string("method=") + (spearman ? "spearman" : "pearson") + " permutations=" + std::to_string(rq.permutations);
  const ShardHeader header = shardheader(ctx, "mantel", {rq.patha, rq.pathb}, parameters, rq.permutations);
  Packer tally;
  tally.f64(r.r);
  tally.u64(static_cast<std::uint64_t>(r.aslarge));
  tally.u64(r.strains);
  tally.u64(spearman ? 1 : 0);
  ShardWriter writer(header);
  writer.add("tally", std::move(tally.bytes));
  auto result = commitshard(ctx, writer, header, rq.patha, "mantel");
  ctx.report.print("Random number seed: %u\n", header.seed);
  return result;
}

void mergemantel(MergeJob& job) {
  MantelResult r;
  bool spearman = false;
  std::uint64_t aslarge = 0;
  for (const ShardReader& s : job.shards) {
    const std::string bytes = s.block("tally");
    Unpacker u(bytes, s.path());
    const double observed = u.f64();
    aslarge += u.u64();
    const std::size_t strains = u.u64();
    const bool ranks = u.u64() != 0;
    // Every shard computed the same observed r from the same tables.
    if (&s != &job.shards.front() &&
        (std::memcmp(&observed, &r.r, sizeof observed) != 0 || strains != r.strains || ranks != spearman))
      damagedshard(s.path());
    r.r = observed;
    r.strains = strains;
    spearman = ranks;
  }
  const ShardHeader& h = job.shards.front().header();
  r.permutations = h.total;
  r.aslarge = static_cast<int>(aslarge);
  r.seed = h.seed;
  if (r.permutations > 0) r.p = (1.0 + r.aslarge) / (1.0 + r.permutations);
  job.open(".mantel.csv").text(mantelcsv(r, spearman));
  job.ctx.report.print("r = %s\np = %s\n", shortestnumber(r.r, false).c_str(), shortestnumber(r.p, false).c_str());
  job.ctx.report.print("Permutations: %d, with r at least the observed one: %d\n", r.permutations, r.aslarge);
}

}  // namespace lorvane
