// The AMOVA in shards: each shard counts, per level, the permutations of
// its range as extreme as observed; the merge adds the counts. Every shard
// carries the table it tested, which the merge checks and writes.
#include <cstring>

#include "shards/kinds.h"
#include "shards/shards.h"

namespace lorvane {

namespace {

void pack(Packer& out, const AmovaTable& t) {
  out.u64(t.rows.size());
  for (const AmovaRow& r : t.rows) {
    out.text(r.source);
    out.u64(static_cast<std::uint64_t>(r.df));
    for (double v : {r.ss, r.ms, r.sigma2, r.percent, r.phi}) out.f64(v);
    out.u64(r.hasphi ? 1 : 0);
  }
  out.u64(t.phinames.size());
  for (const std::string& name : t.phinames) out.text(name);
}

AmovaTable unpack(Unpacker& in) {
  AmovaTable t;
  t.rows.resize(in.count(8 * 8));
  for (AmovaRow& r : t.rows) {
    r.source = in.text();
    r.df = static_cast<int>(in.u64());
    for (double* v : {&r.ss, &r.ms, &r.sigma2, &r.percent, &r.phi}) *v = in.f64();
    r.hasphi = in.u64() != 0;
  }
  t.phinames.resize(in.count(8));
  for (std::string& name : t.phinames) name = in.text();
  return t;
}

}  // namespace

std::shared_ptr<const RunResult> amovashard(RunContext& ctx, const AmovaRequest& rq, const AmovaTable& table,
                                            const std::vector<long long>& counts) {
  const std::string parameters = "levels=" + rq.levels + " permutations=" + std::to_string(rq.permutations) +
                                 " clonecorrect=" + rq.clonecorrect + " distance=" +
                                 std::to_string(static_cast<int>(rq.distance)) + " squared=" +
                                 std::to_string(rq.squared) + " correction=" +
                                 std::to_string(static_cast<int>(rq.correction)) + settingstext(rq);
  const ShardHeader header = shardheader(ctx, "amova", {rq.path}, parameters, rq.permutations);
  Packer tally;
  pack(tally, table);
  tally.u64(counts.size());
  for (long long c : counts) tally.u64(static_cast<std::uint64_t>(c));
  ShardWriter writer(header);
  writer.add("tally", std::move(tally.bytes));
  auto result = commitshard(ctx, writer, header, rq.path, "amova");
  ctx.report.print("Random number seed: %u\n", header.seed);
  return result;
}

void mergeamova(MergeJob& job) {
  std::string first;
  AmovaTable table;
  std::vector<long long> counts;
  for (const ShardReader& s : job.shards) {
    const std::string bytes = s.block("tally");
    Unpacker u(bytes, s.path());
    const AmovaTable t = unpack(u);
    std::vector<long long> mine(u.count(8));
    for (long long& c : mine) c = static_cast<long long>(u.u64());
    // Every shard tested the same table: the same bytes before the counts.
    const std::string tested = bytes.substr(0, bytes.size() - 8 * (mine.size() + 1));
    if (&s == &job.shards.front()) {
      first = tested;
      table = t;
      counts.assign(mine.size(), 0);
    } else if (tested != first || mine.size() != counts.size()) {
      damagedshard(s.path());
    }
    for (std::size_t k = 0; k < mine.size(); ++k) counts[k] += mine[k];
  }
  const int permutations = job.shards.front().header().total;
  job.open(".amova.csv").text(amovacsv(table, counts, permutations));
  reportphis(job.ctx.report, table, counts, permutations);
}

}  // namespace lorvane
