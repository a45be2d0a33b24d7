// Option 4 in shards: the first shard holds the reference tree (before its
// support is known); each shard the splits of its replicate trees with
// their counts, and its replicate trees' Newick lines. The merge adds the
// counts up, takes the support of the reference's edges from them, and
// writes the three files of the whole run.
#include <cmath>
#include <cstdio>

#include "shards/kinds.h"
#include "shards/shards.h"

namespace lorvane {

namespace {

std::string packtree(const Tree& t) {
  Packer p;
  p.u64(t.names.size());
  for (const std::string& name : t.names) p.text(name);
  p.u64(t.nodes.size());
  for (const Tree::Node& node : t.nodes) {
    p.u64(static_cast<std::uint64_t>(node.parent + 1));
    p.f64(node.length);
    p.f64(node.support);
    p.u64(node.children.size());
    for (int child : node.children) p.u64(static_cast<std::uint64_t>(child));
  }
  p.u64(static_cast<std::uint64_t>(t.root + 1));
  p.u64(t.rooted ? 1 : 0);
  return std::move(p.bytes);
}

Tree unpacktree(const std::string& bytes, const std::string& where) {
  Unpacker u(bytes, where);
  Tree t;
  t.names.resize(u.count(8));
  for (std::string& name : t.names) name = u.text();
  t.nodes.resize(u.count(32));
  const std::uint64_t nodes = t.nodes.size();
  auto node = [&](std::uint64_t v) {
    if (v > nodes) damagedshard(where);
    return static_cast<int>(v) - 1;
  };
  for (Tree::Node& n : t.nodes) {
    n.parent = node(u.u64());
    n.length = u.f64();
    n.support = u.f64();
    n.children.resize(u.count(8));
    for (int& child : n.children) child = node(u.u64() + 1);
  }
  t.root = node(u.u64());
  t.rooted = u.u64() != 0;
  if (!u.done()) damagedshard(where);
  return t;
}

std::string packtallies(const Consensus& consensus) {
  Packer p;
  p.u64(static_cast<std::uint64_t>(consensus.trees()));
  const std::vector<Consensus::Tally> tallies = consensus.tallies();
  p.u64(tallies.size());
  for (const Consensus::Tally& t : tallies) {
    p.u64(static_cast<std::uint64_t>(t.count));
    p.u64(t.split.size());
    for (std::uint64_t word : t.split) p.u64(word);
  }
  return std::move(p.bytes);
}

// A shard's tallies added to those of the shards before it.
int addtallies(const ShardReader& shard, const Tree& reference, SupportCounter& support, Consensus& consensus) {
  const std::string bytes = shard.block("tallies");
  Unpacker u(bytes, shard.path());
  const auto trees = static_cast<int>(u.u64());
  std::vector<Consensus::Tally> tallies(u.count(16));
  const std::size_t words = (reference.names.size() + 63) / 64;
  for (Consensus::Tally& t : tallies) {
    t.count = static_cast<int>(u.u64());
    t.split.resize(u.count(8));
    if (t.split.size() != words) damagedshard(shard.path());
    for (std::uint64_t& word : t.split) word = u.u64();
  }
  if (!u.done() || trees < 0) damagedshard(shard.path());
  support.add(tallies, trees);
  consensus.add(reference, tallies, trees);
  return trees;
}

}  // namespace

std::function<std::shared_ptr<RunResult>(const TreeTally&)> boottreeshard(RunContext& ctx,
                                                                          const BootTreeRequest& rq) {
  char parameters[160];
  std::snprintf(parameters, sizeof parameters, "index=%d sites=%d k=%.9g jc=%d method=%s replicates=%d",
                static_cast<int>(rq.index), rq.sites, static_cast<double>(rq.k), rq.jukescantor ? 1 : 0,
                rq.method == TreeMethod::Upgma ? "upgma" : "nj", rq.replicates);
  return [&ctx, rq, parameters = std::string(parameters) + settingstext(rq)](const TreeTally& tally) {
    const ShardHeader header = shardheader(ctx, "bootstrap-tree", {rq.path}, parameters, rq.replicates);
    ShardWriter writer(header);
    if (tally.reference) writer.add("reference", packtree(*tally.reference));
    writer.add("tallies", packtallies(tally.consensus));
    writer.add(".reps.nwk", tally.replicates);
    return commitshard(ctx, writer, header, rq.path, "boottree");
  };
}

void mergetrees(MergeJob& job) {
  const ShardReader& first = job.shards.front();  // shard 1
  Tree tree = unpacktree(first.block("reference"), first.path());
  SupportCounter support(tree);
  Consensus consensus;
  int count = 0;
  for (const ShardReader& s : job.shards) count += addtallies(s, tree, support, consensus);
  if (count > 0) support.label(tree);
  job.open(".nwk").text(newick(tree));
  job.open(".cons.nwk").text(newick(consensus.build(), false));
  job.concatenate(".reps.nwk");
  job.ctx.report.print("--- Replicate tables: %d\n", count);
}

}  // namespace lorvane

