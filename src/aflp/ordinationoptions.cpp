#include "aflp/ordinationoptions.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "aflp/treeoptions.h"
#include "core/messages.h"
#include "core/textio.h"
#include "ordination/mantel.h"
#include "ordination/pcoa.h"
#include "tables/distancetable.h"

namespace lorvane {
namespace {

// A table of the file: its first one, as the whole square.
struct SquareInput {
  DistanceTable table;
  std::vector<double> values;
};

SquareInput readsquare(RunContext& ctx, const std::string& path, const char* operation) {
  TableReader reader(path);
  SquareInput in;
  if (!reader.next(in.table)) errorstop("Error: " + path + " holds no table (" + operation + ")");
  readreport(ctx, path, reader, in.table);
  const auto n = static_cast<std::size_t>(in.table.size());
  in.values.resize(n * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) in.values[i * n + j] = in.table(static_cast<int>(i), static_cast<int>(j));
  return in;
}

// The analyses' own faults, as the module words its error stops.
template <typename F>
auto analysis(F&& f, const char* operation) {
  try {
    return f();
  } catch (const ErrorStop& e) {
    std::string text = e.what();
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    errorstop("Error: " + text + " (" + operation + ")");
  }
}

std::string number(double v) { return shortestnumber(v, false); }

void pcoaoption(RunContext& ctx, const std::string& path, const std::string& axesanswer, int correction) {
  if (correction < 0 || correction > 2) errorstop("Error: the correction must be 0, 1 or 2 (pcoa)");
  ctx.report.print("Lorvane: Principal coordinates\n");
  ProgressWindow progress(ctx.ws, "Principal coordinates");
  const SquareInput in = readsquare(ctx, path, "pcoa");
  const int n = in.table.size();
  progress.step(1, 2);
  PcoaOptions options;
  options.axes = intanswer(axesanswer, std::min(3, n));
  options.correction = static_cast<Correction>(correction);
  const PcoaResult r = analysis([&] { return pcoa(in.values, static_cast<std::size_t>(n), options); }, "pcoa");
  progress.step(2, 2);

  const std::string stem = outputstem(ctx, path);
  OutputFile coordinates = openoutput(stem + ".pcoa.csv", "pcoa");
  OutputFile eigenvalues = openoutput(stem + ".eig.csv", "pcoa");
  std::string text = "name";
  for (int a = 1; a <= r.axes; ++a) text += ",axis" + std::to_string(a);
  text += '\n';
  for (int i = 0; i < n; ++i) {
    text += csvfield(in.table.names[static_cast<std::size_t>(i)]);
    for (int a = 0; a < r.axes; ++a) text += ',' + number(r.coordinate(static_cast<std::size_t>(i), a));
    text += '\n';
  }
  coordinates.text(text);
  text = "axis,eigenvalue,share,cumulative\n";
  for (std::size_t a = 0; a < r.eigenvalues.size(); ++a)
    text += std::to_string(a + 1) + ',' + number(r.eigenvalues[a]) + ',' + number(r.shares[a]) + ',' +
            number(r.cumulative[a]) + '\n';
  eigenvalues.text(text);
  commitall({&coordinates, &eigenvalues}, "pcoa");
  filedone(coordinates.path());
  filedone(eigenvalues.path());

  ctx.report.print("Strains: %d\n", n);
  static const char* const names[] = {"none", "Lingoes", "Cailliez"};
  if (r.applied != Correction::none)
    ctx.report.print("Correction: %s, constant %.6g\n", names[static_cast<int>(r.applied)], r.constant);
  else
    ctx.report.print("Correction: %s\n", correction != 0 ? "none needed (no negative eigenvalue)" : "none");
  for (std::size_t a = 0; a < r.eigenvalues.size(); ++a)
    ctx.report.print("--- Axis %zu: eigenvalue %.6g, share %.2f %%, cumulative %.2f %%\n", a + 1, r.eigenvalues[a],
                     100 * r.shares[a], 100 * r.cumulative[a]);
  ctx.report.print("Negative eigenvalues: %d\n", r.negatives);
  if (r.negatives > 0)
    ctx.report.print("The table is not Euclidean: its negative eigenvalues have no axis%s.\n",
                     r.applied != Correction::none ? "; the axes are those of the corrected table" : "");
  if (r.applied != Correction::none) ctx.report.print("Negative eigenvalues after the correction: %d\n", r.negativesanalysed);
  if (r.axes < static_cast<int>(r.eigenvalues.size()))
    ctx.report.print("Axes with a positive eigenvalue: %d, the only ones with coordinates\n", r.axes);
  ctx.report.print("Output file: %s\nOutput file: %s\n", coordinates.path().c_str(), eigenvalues.path().c_str());
}

void manteloption(RunContext& ctx, const std::string& patha, const std::string& pathb, int permutations, int method) {
  if (method != 1 && method != 2) errorstop("Error: the correlation must be 1 or 2 (mantel)");
  if (permutations < 0) errorstop("Error: the number of permutations must not be negative (mantel)");
  ctx.report.print("Lorvane: Mantel test\n");
  ProgressWindow progress(ctx.ws, "Mantel test");
  const SquareInput a = readsquare(ctx, patha, "mantel");
  const SquareInput b = readsquare(ctx, pathb, "mantel");
  progress.step(0, permutations);
  MantelOptions options;
  options.permutations = permutations;
  options.method = method == 2 ? Correlation::spearman : Correlation::pearson;
  options.seed = ctx.settings.seedvalue();  // one seed for the draws and the report line
  options.threads = ctx.settings.threadcount();
  options.progress = [&progress](int done, int total) { progress.step(done, total); };
  const MantelResult r = analysis(
      [&] { return mantel({a.table.names, a.values}, {b.table.names, b.values}, options); }, "mantel");

  const char* methodname = method == 2 ? "spearman" : "pearson";
  OutputFile out = openoutput(outputstem(ctx, patha) + ".mantel.csv", "mantel");
  out.text("r,p,permutations,seed,method\n" + number(r.r) + ',' + number(r.p) + ',' + std::to_string(r.permutations) +
           ',' + std::to_string(r.seed) + ',' + methodname + '\n');
  commitall({&out}, "mantel");
  filedone(out.path());

  ctx.report.print("Strains: %zu\n", r.strains);
  ctx.report.print("Method = %s\n", method == 2 ? "Spearman" : "Pearson");
  ctx.report.print("r = %s\np = %s\n", number(r.r).c_str(), number(r.p).c_str());
  ctx.report.print("Permutations: %d, with r at least the observed one: %d\n", r.permutations, r.aslarge);
  ctx.report.print("Output file: %s\n", out.path().c_str());
  ctx.report.print("Random number seed: %u\n", static_cast<unsigned>(r.seed));
}

}  // namespace

bool runordinationoption(RunContext& ctx, const std::array<std::string, 11>& a, int option) {
  if (a[1].empty()) return false;
  const std::string path = a[1].substr(0, 255);
  if (option == 6) {
    pcoaoption(ctx, path, a[2], intanswer(a[3], 0));
    return true;
  }
  if (option == 7 && !a[2].empty()) {
    manteloption(ctx, path, a[2].substr(0, 255), intanswer(a[3], 999), intanswer(a[4], 1));
    return true;
  }
  return false;
}

}  // namespace lorvane
