#include "runs/treeruns.h"

#include <algorithm>
#include <cmath>

#include "aflp/bands.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "core/messages.h"
#include "runs/runsupport.h"
#include "shards/shards.h"

namespace lorvane {

std::uint32_t boottables(RunContext& ctx, const BootTreeRequest& request, const ReplicateTable& each,
                         const ReplicateSlots* slots, RunResult* groups) {
  checkparameters(request.sites, request.k, "boottree");
  const DistanceOptions o = DistanceOptions::simple(request.sites, request.k, request.index, request.jukescantor, false);
  if (o.index == DistanceIndex::Other) errorstop("Error: the index must be 1, 2 or 3 (boottree)");
  const Figure figure = o.index == DistanceIndex::NeiLi ? Figure::NeiLi : o.correction ? Figure::Corrected : Figure::Distance;
  ctx.report.print("Lorvane: Reading input file\n");
  const BandData d = readinput(ctx, request.path, request, ReadMode::Bootstrap, false);
  const std::vector<std::string> names = trimmednames(d);
  if (groups) groups->groups = d.groups, groups->strains = names;
  // One seed for the draws and the report line (the clock's changes).
  ComputeSettings fixed = ctx.settings;
  fixed.seed = ctx.settings.seedvalue();
  DistanceTable t;
  const int batch = slots ? fixed.replicatesperbatch(static_cast<long long>(d.n) * (d.n - 1) / 2) : 1;
  const bool sidebyside = batch > 1 && request.replicates > 1;
  const ItemRange part = shareof(ctx, request.replicates);
  const ReplicateShare share{part.first, request.replicates, makesreference(ctx)};
  if (!share.reference) {
    t.names = names;
    each(0, t);
  }
  bootstraptables(fixed, d, o, figure, sidebyside ? 0 : part.count, [&](int k, HalfTable& half) {
    t.names = names;
    t.lower = std::move(half.lower);
    each(k, t);
  }, share);
  if (sidebyside) {
    slots->begin(batch);
    bootstrapbatches(fixed, d, o, figure, part.count, batch, slots->build, slots->take, share);
  }
  return *fixed.seed;
}

namespace {

// Tables computed in memory (the readers refuse these themselves): a pair
// without a finite distance stops the run; no tree is built on 999s.
void checkfinite(const LowerHalf& lower, const std::vector<std::string>& names, int k) {
  const int n = static_cast<int>(names.size());
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double v = lower[DistanceTable::at(i, j)];
      if (!std::isfinite(v) || v == 999.0)
        errorstop("Error: strains " + std::to_string(j + 1) + " (" + names[static_cast<std::size_t>(j)] + ") and " +
                  std::to_string(i + 1) + " (" + names[static_cast<std::size_t>(i)] + ") have no finite distance" +
                  (k > 0 ? " in replicate " + std::to_string(k) : std::string()) + " (boottree)");
    }
}

}  // namespace

std::shared_ptr<const RunResult> treefromtable(RunContext& ctx, const TreeRequest& rq) {
  ctx.report.print("Lorvane: Reading distance table\n");
  TableReader reader(rq.path);
  DistanceTable t = readfirsttable(ctx, rq.path, reader, "treefromtable");
  const bool replicates = !rq.replicates.empty();
  TreeRun run(ctx, outputstem(ctx, rq.path), rq.method, replicates, rq.consensus, "treefromtable");
  run.reference(std::move(t), ctx.keepresults);
  if (replicates) {
    ctx.report.print("Replicate file: %s\n", rq.replicates.c_str());
    TableReader reps(rq.replicates);
    for (int k = 1; reps.next(t); ++k) {
      // The count of tables is not known before the end: estimated from
      // the share of the file read so far.
      const double read = reps.fraction();
      const int total = read > 0 ? std::max(k, static_cast<int>(std::lround(k / read))) : k;
      run.replicate(std::move(t), k, total);
    }
  }
  auto result = run.finish();
  // The input table is the one a picture shows, beside the tree.
  result->tablefile = rq.path;
  return result;
}

std::shared_ptr<const RunResult> boottree(RunContext& ctx, const BootTreeRequest& rq) {
  ctx.report.print("Lorvane: Bootstrap tree\n");
  RunResult groups;
  TreeRun run(ctx, outputstem(ctx, rq.path), rq.method, true, true, "boottree");
  if (ctx.shard) run.toshard(boottreeshard(ctx, rq));
  const ReplicateSlots slots{[&](int batch) { run.beginslots(batch); },
                             [&](int k, HalfTable& t, int slot) {
                               checkfinite(t.lower, run.names(), k);
                               run.made(t, k, slot);
                             },
                             [&](int k, int slot) { run.taken(k, rq.replicates, slot); }};
  const std::uint32_t seed = boottables(
      ctx, rq,
      [&](int k, DistanceTable& t) {
        if (k == 0 && !makesreference(ctx)) return run.strains(t.names);
        checkfinite(t.lower, t.names, k);
        // Its tables stay in memory: a picture of it is the tree alone.
        if (k == 0)
          run.reference(std::move(t), false);
        else
          run.replicate(std::move(t), k, rq.replicates);
      },
      &slots, &groups);
  auto result = run.finish();
  result->groups = std::move(groups.groups);
  result->strains = std::move(groups.strains);
  ctx.report.print("Random number seed: %u\n", seed);
  return result;
}

}  // namespace lorvane
