#include "runs/populationruns.h"

#include <algorithm>
#include <cmath>

#include "banddata/prepare.h"
#include "core/messages.h"
#include "population/genotypes.h"
#include "population/permutations.h"
#include "runs/runsupport.h"
#include "shards/shards.h"
#include "tables/distancetable.h"

namespace lorvane {

namespace {

std::string number(double v) { return shortestnumber(v, false); }

std::string groupsource(const BandInput& input) {
  return input.groups.empty() ? "the data" : "the groups file " + input.groups;
}

}  // namespace

void reportdesign(CFile& report, const Design& d) {
  if (d.twolevels())
    report.print("Levels: %s (%d groups), %s (%d groups), strains (%d)\n", d.regionlevel.c_str(), d.regioncount(),
                 d.populationlevel.c_str(), d.populationcount(), d.strains());
  else
    report.print("Levels: %s (%d groups), strains (%d)\n", d.populationlevel.c_str(), d.populationcount(), d.strains());
}

PopulationData readpopulation(RunContext& ctx, const BandInput& input, const std::string& path,
                              const std::string& clonecorrect, const std::string& top, const std::string& lower) {
  BandData d = readinput(ctx, path, input, ReadMode::Bootstrap, false);
  const std::string source = groupsource(input);
  makedesign(d.groups, top, lower, source);  // the groups as given hold the design
  if (!clonecorrect.empty()) {
    const std::size_t level = levelindex(d.groups, clonecorrect, source);
    const std::vector<int> kept = clonecorrected(genotypes(d), d.groups.labels[level]);
    ctx.report.print("Clone correction by %s: %zu of %d strains kept (the first of each genotype in each group)\n",
                     clonecorrect.c_str(), kept.size(), d.n);
    if (static_cast<int>(kept.size()) < d.n) keepstrains(d, kept);
  }
  PopulationData data{trimmednames(d), makedesign(d.groups, top, lower, source), {}, {}};
  reportdesign(ctx.report, data.design);
  data.delta = banddeltas(d, ctx.settings);
  data.pairsums = populationsums(data.delta, data.design.population, data.design.populationcount());
  ctx.report.print("Distance: delta squared, the number of bands that differ%s\n",
                   d.hasmissing() ? " over the bands scored in both strains" : "");
  return data;
}

std::shared_ptr<const RunResult> genotypesrun(RunContext& ctx, const GenotypesRequest& rq) {
  ctx.report.print("Lorvane: Multilocus genotypes\n");
  const BandData d = readinput(ctx, rq.path, rq, ReadMode::Bootstrap, false);
  const std::vector<int> genotype = genotypes(d);
  const int count = genotype.empty() ? 0 : *std::max_element(genotype.begin(), genotype.end());
  const std::vector<std::string> names = trimmednames(d);
  std::string text = "strain,genotype";
  for (const std::string& level : d.groups.levels) text += ',' + csvfield(level);
  text += '\n';
  for (int i = 0; i < d.n; ++i) {
    text += csvfield(names[static_cast<std::size_t>(i)]) + ',' + std::to_string(genotype[static_cast<std::size_t>(i)]);
    for (const auto& labels : d.groups.labels) text += ',' + csvfield(labels[static_cast<std::size_t>(i)]);
    text += '\n';
  }
  OutputFile out = openoutput(outputstem(ctx, rq.path) + ".mlg.csv", "genotypes");
  out.text(text);
  commitall({&out}, "genotypes");
  ctx.report.print("Multilocus genotypes: %d among %d strains\n", count, d.n);
  if (d.hasmissing() && rq.missing == MissingScores::Pairwise)
    ctx.report.print("--- A strain joins the first genotype whose first strain has its scores on every band scored "
                     "in both\n");
  for (std::size_t l = 0; l < d.groups.levels.size(); ++l) {
    std::string list;
    for (const auto& [label, k] : genotypesper(genotype, d.groups.labels[l]))
      list += (list.empty() ? "" : ", ") + label + " (" + std::to_string(k) + ")";
    ctx.report.print("--- Genotypes by %s: %s\n", d.groups.levels[l].c_str(), list.c_str());
  }
  ctx.report.print("Output file: %s\n", out.path().c_str());
  auto result = std::make_shared<RunResult>();
  result->wrote(out.path());
  return result;
}

namespace {

// The square tables of ΦPT and of its p-values over the populations.
struct PairTables {
  DistanceTable phi, p;
  std::vector<std::string> lines;  // the report's line of each pair
  int negatives = 0;
};

PairTables pairtables(const PopulationData& data, const std::vector<long long>& counts, int permutations) {
  const Design& d = data.design;
  const int np = d.populationcount();
  const auto pp = static_cast<std::size_t>(np);
  PairTables t;
  t.phi.names = t.p.names = d.populations;
  t.phi.lower.resize(Triangle::cells(np));
  t.p.lower.resize(Triangle::cells(np));
  for (int a = 0; a < np; ++a)
    for (int b = a + 1; b < np; ++b) {
      const double wa = data.pairsums[static_cast<std::size_t>(a) * pp + static_cast<std::size_t>(a)];
      const double wb = data.pairsums[static_cast<std::size_t>(b) * pp + static_cast<std::size_t>(b)];
      const double total = wa + wb + data.pairsums[static_cast<std::size_t>(a) * pp + static_cast<std::size_t>(b)];
      const double phi = pairphi(wa, wb, total, d.sizes[static_cast<std::size_t>(a)], d.sizes[static_cast<std::size_t>(b)]);
      const long long k = counts[static_cast<std::size_t>(a) * pp + static_cast<std::size_t>(b)];
      const double p = permutations > 0 && !std::isnan(phi) ? (1.0 + static_cast<double>(k)) / (1.0 + permutations) : 1.0;
      t.phi.lower[Triangle::at(a, b)] = std::isnan(phi) || phi < 0 ? 0.0 : phi;
      t.p.lower[Triangle::at(a, b)] = p;
      t.negatives += phi < 0;
      t.lines.push_back(d.populations[static_cast<std::size_t>(a)] + " - " + d.populations[static_cast<std::size_t>(b)] +
                        ": PhiPT = " + (std::isnan(phi) ? "none (no variation)" : number(phi)) +
                        (permutations > 0 ? ", p = " + number(p) : ""));
    }
  return t;
}

}  // namespace

std::shared_ptr<const RunResult> phiptrun(RunContext& ctx, const PhiptRequest& rq) {
  ctx.report.print("Lorvane: Pairwise PhiPT\n");
  ProgressWindow progress(ctx.ws, "Pairwise PhiPT");
  const PopulationData data = readpopulation(ctx, rq, rq.path, rq.clonecorrect, rq.level, "");
  PermutationOptions options;
  options.permutations = rq.permutations;
  options.seed = ctx.settings.seedvalue();
  options.threads = ctx.settings.threadcount();
  options.progress = [&progress](int done, int total) { progress.step(done, total); };
  const std::vector<long long> counts = phipttests(data.delta, data.design, options);
  const PairTables t = pairtables(data, counts, rq.permutations);

  const std::string stem = outputstem(ctx, rq.path);
  OutputFile phi = openoutput(stem + ".phipt.csv", "phipt");
  OutputFile p = openoutput(stem + ".phipt.p.csv", "phipt");
  phi.text(csvtable(t.phi));
  p.text(csvtable(t.p));
  commitall({&phi, &p}, "phipt");
  for (const std::string& line : t.lines) ctx.report.print("--- %s\n", line.c_str());
  if (t.negatives > 0)
    ctx.report.print("Negative estimates, written as 0 in the table: %d\n", t.negatives);
  ctx.report.print("Permutations: %d\n", rq.permutations);
  ctx.report.print("Output file: %s\nOutput file: %s\n", phi.path().c_str(), p.path().c_str());
  ctx.report.print("Random number seed: %u\n", static_cast<unsigned>(options.seed));
  auto result = std::make_shared<RunResult>();
  result->wrote(phi.path());
  result->wrote(p.path());
  return result;
}

}  // namespace lorvane
