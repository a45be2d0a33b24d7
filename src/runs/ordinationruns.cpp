#include <algorithm>
#include <cctype>
#include <vector>

#include "core/interrupt.h"
#include "core/messages.h"
#include "core/textio.h"
#include "ordination/mantel.h"
#include "runs/runsupport.h"
#include "runs/tableruns.h"
#include "shards/shards.h"

namespace lorvane {
namespace {

// The first table of a file, and its values as the whole square.
struct SquareInput {
  DistanceTable table;
  std::vector<double> values;
};

SquareInput readsquare(RunContext& ctx, const std::string& path, const char* operation) {
  TableReader reader(path);
  SquareInput in{readfirsttable(ctx, path, reader, operation), {}};
  const auto n = static_cast<std::size_t>(in.table.size());
  in.values.resize(n * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) in.values[i * n + j] = in.table(static_cast<int>(i), static_cast<int>(j));
  return in;
}

// The analyses' own faults, as the module words its error stops; a stop
// asked for by a signal or Cancel keeps its own message.
template <typename F>
auto analysis(F&& f, const char* operation) {
  try {
    return f();
  } catch (const ErrorStop& e) {
    if (interruptsignal() != 0) throw;
    std::string text = e.what();
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    errorstop("Error: " + text + " (" + operation + ")");
  }
}

std::string number(double v) { return shortestnumber(v, false); }

std::string coordinatestext(const std::vector<std::string>& names, const PcoaResult& r) {
  std::string text = "name";
  for (int a = 1; a <= r.axes; ++a) text += ",axis" + std::to_string(a);
  text += '\n';
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += csvfield(names[i]);
    for (int a = 0; a < r.axes; ++a) text += ',' + number(r.coordinate(i, a));
    text += '\n';
  }
  return text;
}

std::string eigenvaluestext(const PcoaResult& r) {
  std::string text = "axis,eigenvalue,share,cumulative\n";
  for (std::size_t a = 0; a < r.eigenvalues.size(); ++a)
    text += std::to_string(a + 1) + ',' + number(r.eigenvalues[a]) + ',' + number(r.shares[a]) + ',' +
            number(r.cumulative[a]) + '\n';
  return text;
}

void pcoareport(CFile& report, const PcoaResult& r, bool corrected, int n) {
  report.print("Strains: %d\n", n);
  static const char* const names[] = {"none", "Lingoes", "Cailliez"};
  if (r.applied != Correction::none)
    report.print("Correction: %s, constant %.6g\n", names[static_cast<int>(r.applied)], r.constant);
  else
    report.print("Correction: %s\n", corrected ? "none needed (no negative eigenvalue)" : "none");
  for (std::size_t a = 0; a < r.eigenvalues.size(); ++a)
    report.print("--- Axis %zu: eigenvalue %.6g, share %.2f %%, cumulative %.2f %%\n", a + 1, r.eigenvalues[a],
                 100 * r.shares[a], 100 * r.cumulative[a]);
  report.print("Negative eigenvalues: %d\n", r.negatives);
  if (r.negatives > 0)
    report.print("The table is not Euclidean: its negative eigenvalues have no axis%s.\n",
                 r.applied != Correction::none ? "; the axes are those of the corrected table" : "");
  if (r.applied != Correction::none) report.print("Negative eigenvalues after the correction: %d\n", r.negativesanalysed);
  if (r.axes < static_cast<int>(r.eigenvalues.size()))
    report.print("Axes with a positive eigenvalue: %d, the only ones with coordinates\n", r.axes);
}

}  // namespace

std::shared_ptr<const RunResult> pcoarun(RunContext& ctx, const PcoaRequest& rq) {
  const int correction = static_cast<int>(rq.correction);
  if (correction < 0 || correction > 2) errorstop("Error: the correction must be 0, 1 or 2 (pcoa)");
  ctx.report.print("Lorvane: Principal coordinates\n");
  ProgressWindow progress(ctx.ws, "Principal coordinates");
  SquareInput in = readsquare(ctx, rq.path, "pcoa");
  const int n = in.table.size();
  progress.step(1, 2);
  PcoaOptions options;
  options.axes = rq.axes.value_or(std::min(3, n));
  options.correction = rq.correction;
  auto ordination = std::make_shared<Ordination>();
  ordination->pcoa = analysis([&] { return pcoa(in.values, static_cast<std::size_t>(n), options); }, "pcoa");
  const PcoaResult& r = ordination->pcoa;
  progress.step(2, 2);

  const std::string stem = outputstem(ctx, rq.path);
  OutputFile coordinates = openoutput(stem + ".pcoa.csv", "pcoa");
  OutputFile eigenvalues = openoutput(stem + ".eig.csv", "pcoa");
  coordinates.text(coordinatestext(in.table.names, r));
  eigenvalues.text(eigenvaluestext(r));
  commitall({&coordinates, &eigenvalues}, "pcoa");

  pcoareport(ctx.report, r, correction != 0, n);
  ctx.report.print("Output file: %s\nOutput file: %s\n", coordinates.path().c_str(), eigenvalues.path().c_str());
  auto result = std::make_shared<RunResult>();
  result->wrote(coordinates.path());
  result->wrote(eigenvalues.path());
  result->ordinationfile = coordinates.path();
  ordination->names = std::move(in.table.names);
  result->ordination = std::move(ordination);
  return result;
}

std::string mantelcsv(const MantelResult& r, bool spearman) {
  return "r,p,permutations,seed,method\n" + number(r.r) + ',' + number(r.p) + ',' + std::to_string(r.permutations) +
         ',' + std::to_string(r.seed) + ',' + (spearman ? "spearman" : "pearson") + '\n';
}

std::shared_ptr<const RunResult> mantelrun(RunContext& ctx, const MantelRequest& rq) {
  if (rq.method != MantelMethod::Pearson && rq.method != MantelMethod::Spearman)
    errorstop("Error: the correlation must be 1 or 2 (mantel)");
  const bool spearman = rq.method == MantelMethod::Spearman;
  ctx.report.print("Lorvane: Mantel test\n");
  ProgressWindow progress(ctx.ws, "Mantel test");
  const SquareInput a = readsquare(ctx, rq.patha, "mantel");
  const SquareInput b = readsquare(ctx, rq.pathb, "mantel");
  progress.step(0, rq.permutations);
  MantelOptions options;
  options.permutations = rq.permutations;
  options.method = spearman ? Correlation::spearman : Correlation::pearson;
  options.seed = ctx.settings.seedvalue();  // one seed for the draws and the report line
  options.threads = ctx.settings.threadcount();
  options.progress = [&progress](int done, int total) { progress.step(done, total); };
  const ItemRange part = shareof(ctx, rq.permutations);
  options.first = part.first;
  options.count = part.count;
  const MantelResult r = analysis(
      [&] { return mantel({a.table.names, a.values}, {b.table.names, b.values}, options); }, "mantel");
  if (ctx.shard) return mantelshard(ctx, rq, r);

  OutputFile out = openoutput(outputstem(ctx, rq.patha) + ".mantel.csv", "mantel");
  out.text(mantelcsv(r, spearman));
  commitall({&out}, "mantel");

  ctx.report.print("Strains: %zu\n", r.strains);
  ctx.report.print("Method = %s\n", spearman ? "Spearman" : "Pearson");
  ctx.report.print("r = %s\np = %s\n", number(r.r).c_str(), number(r.p).c_str());
  ctx.report.print("Permutations: %d, with r at least the observed one: %d\n", r.permutations, r.aslarge);
  ctx.report.print("Output file: %s\n", out.path().c_str());
  ctx.report.print("Random number seed: %u\n", static_cast<unsigned>(r.seed));
  auto result = std::make_shared<RunResult>();
  result->wrote(out.path());
  result->mantel = r;
  return result;
}

}  // namespace lorvane
