#include "runs/distanceruns.h"

#include "aflp/bands.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "aflp/tablewriters.h"
#include "runs/runsupport.h"
#include "shards/shards.h"

namespace lorvane {

namespace {

const char* distanceline(DistanceIndex index) {
  switch (index) {
    case DistanceIndex::Jaccard: return "\nDistance = Jaccard\n";
    case DistanceIndex::Dice: return "\nDistance = Dice\n";
    case DistanceIndex::NeiLi: return "\nDistance = Dice corrigee Nei & Li (79)\n";
    case DistanceIndex::Other: break;
  }
  return "";
}

}  // namespace

std::shared_ptr<const RunResult> calcdist(RunContext& ctx, const DistanceRequest& rq) {
  checkparameters(rq.sites, rq.k, "calcdist");
  const DistanceOptions o = DistanceOptions::simple(rq.sites, rq.k, rq.index, rq.jukescantor, rq.binary);
  const bool binary = o.form == OutputForm::Binary;
  ctx.report.print("Lorvane: Reading input file\n");
  BandData d = readinput(ctx, rq.path, rq, ReadMode::Simple, true);  // the scratch file goes with d
  ctx.report.print("Lorvane: Computing distances\n");

  OutputSet outputs;
  for (const DistanceFile& f : distancefiles(o)) {
    const std::string name = outputstem(ctx, rq.path) + f.extension;
    const std::string failure =
        binary ? "Error: can't write matrix (ecrmat)" : "Error: can't write output file " + name + " (calcdist)";
    outputs.add(name, binary ? 'b' : 'a', failure, failure);
  }
  ReportedPairs pairlines(ctx);
  writedistances(ctx.compute(), d, o, outputs, pairlines);
  outputs.commit();

  auto result = std::make_shared<RunResult>();
  ctx.report.print("%s", distanceline(o.index));
  for (const Output& out : outputs) {
    ctx.report.print("Output file: %s\n", out.path.c_str());
    ctx.report.print("--- Number of rows: %d, columns: %d\n", d.n, d.n);
    result->wrote(out.path);
  }
  if (!result->outputs.empty()) result->tablefile = result->outputs.front();
  result->groups = std::move(d.groups);
  result->strains = trimmednames(d);
  return result;
}

std::shared_ptr<const RunResult> calcboot(RunContext& ctx, const BootstrapRequest& rq) {
  checkparameters(rq.sites, rq.k, "calcboot");
  const DistanceOptions o = DistanceOptions::bootstrap(rq.sites, rq.k, rq.index);
  const bool jaccard = o.index == DistanceIndex::Jaccard;
  ctx.report.print("Brisane: Reading input file\n");
  const BandData d = readinput(ctx, rq.path, rq, ReadMode::Bootstrap, false);
  const int width = replicatewidth(d.m, o.k);
  ctx.report.print("Brisane: Computing bootstraps\n");

  const std::string stem = outputstem(ctx, rq.path);
  const std::string distancepath = stem + (jaccard ? ".matJ" : ".matD"), correctedpath = stem + ".matDJC";
  const std::string failure = "Error: can't write output file (calcboot)";
  OutputSet outputs;
  Output* corrected = jaccard ? nullptr
                              : &outputs.add(correctedpath, 'a', failure,
                                             "Error: can't write output file " + correctedpath + " (calcboot)");
  Output& distance =
      outputs.add(distancepath, 'a', failure, "Error: can't write output file " + distancepath + " (calcboot)");
  const std::uint32_t seed = ctx.settings.seedvalue();
  ReportedPairs pairlines(ctx);
  const ItemRange part = shareof(ctx, rq.replicates);
  writereplicates(ctx.compute(), d, ReplicateFiles{o, width, part.count, seed, distance, corrected, part.first},
                  pairlines);
  if (ctx.shard) return bootstrapshard(ctx, rq, outputs);
  outputs.commit();

  ctx.report.print(jaccard ? "\nDistance = Jaccard\n" : "\nDistance = Dice\n");
  ctx.report.print("Output file: %s\n", distancepath.c_str());
  if (!jaccard) ctx.report.print("Output file for Jukes-Cantor correction: %s\n", correctedpath.c_str());
  ctx.report.print("Random number seed: %u\n", seed);
  auto result = std::make_shared<RunResult>();
  for (const Output& out : outputs) result->wrote(out.path);
  // The first file of the set is the one shown (the corrected tables for Dice).
  result->tablefile = result->outputs.front();
  return result;
}

}  // namespace lorvane
