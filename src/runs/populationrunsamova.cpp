// Option 11, "AMOVA": the analysis of band data or of a distance table, its
// permutation tests, DATA.amova.csv and the report's table.
#include <cmath>

#include "banddata/prepare.h"
#include "core/messages.h"
#include "ordination/pcoa.h"
#include "population/permutations.h"
#include "runs/populationruns.h"
#include "runs/runsupport.h"
#include "shards/shards.h"
#include "tables/distancetable.h"

namespace lorvane {

namespace {

std::string number(double v) { return shortestnumber(v, false); }

std::string pvalue(const std::vector<long long>& counts, std::size_t row, int permutations) {
  if (permutations <= 0 || row >= counts.size()) return {};
  return number((1.0 + static_cast<double>(counts[row])) / (1.0 + permutations));
}

// "TOP" or "TOP,LOWER".
std::pair<std::string, std::string> levelsof(const std::string& text) {
  const auto comma = text.find(',');
  std::pair<std::string, std::string> levels{text.substr(0, comma), comma == std::string::npos ? "" : text.substr(comma + 1)};
  if (levels.first.empty() || (comma != std::string::npos && (levels.second.empty() || levels.second.find(',') != std::string::npos)))
    errorstop("Error: the levels \"" + text + "\" are not TOP or TOP,LOWER: one or two levels of the groups (amova)");
  return levels;
}

// δ² from the distances d of a table: d², corrected on request.
double corrected(double d, TableCorrection c, double constant) {
  switch (c) {
    case TableCorrection::Lingoes: return d * d + 2 * constant;
    case TableCorrection::Cailliez: return (d + constant) * (d + constant);
    case TableCorrection::Sqrt: return d;
    case TableCorrection::None: break;
  }
  return d * d;
}

// The negative eigenvalues of the table of distances `d` (n x n), and the
// correction's constant.
PcoaResult euclidean(const std::vector<double>& d, std::size_t n, Correction correction) {
  try {
    return pcoa(d, n, PcoaOptions{1, correction});
  } catch (const ErrorStop& e) {
    errorstop(std::string("Error: ") + e.what() + " (amova)");
  }
}

std::vector<double> square(const DistanceTable& t, bool squared, bool root) {
  const auto n = static_cast<std::size_t>(t.size());
  std::vector<double> d(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      const double v = t(static_cast<int>(i), static_cast<int>(j));
      const double distance = squared ? std::sqrt(std::max(v, 0.0)) : v;
      d[i * n + j] = root ? std::sqrt(distance) : distance;
    }
  return d;
}

PopulationData readtable(RunContext& ctx, const AmovaRequest& rq, const std::string& top, const std::string& lower) {
  TableReader reader(rq.path);
  const DistanceTable t = readfirsttable(ctx, rq.path, reader, "amova");
  if (rq.groups.empty()) errorstop("Error: the groups of a distance table's strains come from --groups FILE (amova)");
  if (!rq.clonecorrect.empty()) errorstop("Error: the clone correction needs band data, not a distance table (amova)");
  const Groups groups = readgroups(rq.groups, t.names);
  ctx.report.print("Groups file: %s\n", rq.groups.c_str());
  PopulationData data{t.names, makedesign(groups, top, lower, "the groups file " + rq.groups), {}, {}};
  reportdesign(ctx.report, data.design);
  const auto n = static_cast<std::size_t>(t.size());
  const Correction asked = rq.correction == TableCorrection::Lingoes    ? Correction::lingoes
                           : rq.correction == TableCorrection::Cailliez ? Correction::cailliez
                                                                        : Correction::none;
  const PcoaResult given = euclidean(square(t, rq.squared, false), n, asked);
  ctx.report.print("Distance: %s of the table\n", rq.squared ? "the values (delta squared)" : "the squared distances");
  ctx.report.print("Negative eigenvalues: %d%s\n", given.negatives,
                   given.negatives > 0 ? " (the table is not Euclidean)" : "");
  double constant = given.constant;
  if (rq.correction == TableCorrection::Sqrt) {
    const PcoaResult root = euclidean(square(t, rq.squared, true), n, Correction::none);
    ctx.report.print("Correction: square root of the distances; negative eigenvalues after it: %d\n", root.negatives);
  } else if (given.applied != Correction::none) {
    ctx.report.print("Correction: %s, constant %.6g; negative eigenvalues after it: %d\n",
                     given.applied == Correction::lingoes ? "Lingoes" : "Cailliez", constant, given.negativesanalysed);
  } else if (rq.correction != TableCorrection::None) {
    ctx.report.print("Correction: none needed (no negative eigenvalue)\n");
  }
  const TableCorrection applied = rq.correction == TableCorrection::Sqrt ? TableCorrection::Sqrt
                                  : given.applied == Correction::none   ? TableCorrection::None
                                                                        : rq.correction;
  LowerHalf lowerhalf(Triangle::cells(n));
  for (std::size_t k = 0; k < lowerhalf.size(); ++k) {
    const double v = t.lower[k];
    lowerhalf[k] = corrected(rq.squared ? std::sqrt(std::max(v, 0.0)) : v, applied, constant);
  }
  data.delta = singlehalf(lowerhalf);
  data.pairsums = populationsums(lowerhalf, data.design.population, data.design.populationcount());
  return data;
}

void reporttable(CFile& report, const AmovaTable& t) {
  report.print("%-40s %6s %14s %14s %14s %9s\n", "Source", "df", "SS", "MS", "Sigma2", "%");
  for (const AmovaRow& r : t.rows)
    report.print("%-40s %6d %14.6f %14.6f %14.6f %9.4f\n", r.source.c_str(), r.df, r.ss, r.ms, r.sigma2, r.percent);
}

}  // namespace

std::string amovacsv(const AmovaTable& t, const std::vector<long long>& counts, int permutations) {
  std::string text = "source,df,SS,MS,sigma2,percent,phi,p\n";
  for (std::size_t k = 0; k < t.rows.size(); ++k) {
    const AmovaRow& r = t.rows[k];
    const bool total = k + 1 == t.rows.size();
    text += csvfield(r.source) + ',' + std::to_string(r.df) + ',' + number(r.ss) + ',' + number(r.ms) + ',' +
            number(r.sigma2) + ',' + number(r.percent) + ',' + (r.hasphi ? number(r.phi) : "") + ',' +
            (total ? "" : pvalue(counts, k, permutations)) + '\n';
  }
  return text;
}

void reportphis(CFile& report, const AmovaTable& t, const std::vector<long long>& counts, int permutations) {
  for (std::size_t k = 0; k < t.phinames.size(); ++k) {
    const std::string p = pvalue(counts, k, permutations);
    report.print("%s = %.7g%s\n", t.phinames[k].c_str(), t.rows[k].phi, p.empty() ? "" : (", p = " + p).c_str());
  }
  const std::size_t within = t.rows.size() - 2;
  if (permutations > 0)
    report.print("Within: p = %s (permuted components at most the observed one)\n",
                 pvalue(counts, within, permutations).c_str());
  report.print("Permutations: %d\n", permutations);
}

std::shared_ptr<const RunResult> amovarun(RunContext& ctx, const AmovaRequest& rq) {
  const int distance = static_cast<int>(rq.distance), correction = static_cast<int>(rq.correction);
  if (distance < 1 || distance > 2) errorstop("Error: the distance must be 1 (bands) or 2 (table) (amova)");
  if (correction < 0 || correction > 3) errorstop("Error: the correction must be 0, 1, 2 or 3 (amova)");
  const auto [top, lower] = levelsof(rq.levels);
  ctx.report.print("Lorvane: AMOVA\n");
  ProgressWindow progress(ctx.ws, "AMOVA");
  const PopulationData data = rq.distance == DeltaSource::Table
                                  ? readtable(ctx, rq, top, lower)
                                  : readpopulation(ctx, rq, rq.path, rq.clonecorrect, top, lower);
  const DesignSums sums = designsums(data.pairsums, data.design);
  if (!(sums.total > 0)) errorstop("Error: every delta squared is 0: the strains do not vary (amova)");
  const AmovaTable table = amovatable(data.design, sums);
  const Coefficients c = nvalues(data.design.sizes, data.design.region, data.design.regioncount());
  PermutationOptions options;
  options.permutations = rq.permutations;
  options.seed = ctx.settings.seedvalue();
  options.threads = ctx.settings.threadcount();
  options.progress = [&progress](int done, int total) { progress.step(done, total); };
  const ItemRange part = shareof(ctx, rq.permutations);
  options.first = part.first;
  options.count = part.count;
  const std::vector<long long> counts = amovatests(data.delta, data.design, options);
  if (ctx.shard) return amovashard(ctx, rq, table, counts);

  OutputFile out = openoutput(outputstem(ctx, rq.path) + ".amova.csv", "amova");
  out.text(amovacsv(table, counts, rq.permutations));
  commitall({&out}, "amova");
  if (data.design.twolevels())
    ctx.report.print("n coefficients: n = %.7g, n' = %.7g, n'' = %.7g\n", c.n, c.n1, c.n2);
  else
    ctx.report.print("n coefficient: n = %.7g\n", c.n);
  reporttable(ctx.report, table);
  reportphis(ctx.report, table, counts, rq.permutations);
  ctx.report.print("Output file: %s\n", out.path().c_str());
  ctx.report.print("Random number seed: %u\n", static_cast<unsigned>(options.seed));
  auto result = std::make_shared<RunResult>();
  result->wrote(out.path());
  return result;
}

}  // namespace lorvane
