#include "aflp/bootstrap.h"

#include <chrono>
#include <cstdlib>

#include "aflp/bands.h"
#include "aflp/bits.h"
#include "aflp/distance.h"
#include "aflp/formulas.h"
#include "aflp/random.h"
#include "aflp/triangle.h"
#include "core/datafile.h"
#include "core/messages.h"

namespace lorvane {

std::optional<std::uint32_t> environmentseed() {
  const char* text = std::getenv("LORVANE_SEED");
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || text[0] == '-') return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

std::uint32_t bootstrapseed() {
  if (auto seed = environmentseed()) return *seed;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

int drawcolumn(int v, int m) {
  const float c = 1.0f / 32767.0f;
  return 1 + static_cast<int>(static_cast<double>(v) * static_cast<double>(c) * static_cast<double>(m));
}

void calcboot(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int /*jukescantor*/,
              int repetitions) {
  checkparameters(r, kvalue, "calcboot");
  const double k = kvalue;
  ctx.report.print("Brisane: Reading input file\n");
  BandData d = readbands(ctx, path, ReadMode::Bootstrap);
  const int n = d.n, m = d.m;
  const double product = static_cast<double>(m) * k;
  if (product > 2147483647.0) errorstop("Error: insufficient memory (taballoc)");
  const int w = static_cast<int>(product);
  const bool jaccard = index == 1;

  RealTable distance = taballoc(n, n);
  RealTable corrected;
  if (!jaccard) corrected = taballoc(n, n);

  ctx.report.print("Brisane: Computing bootstraps\n");
  const std::string distancepath = path + (jaccard ? ".matJ" : ".matD");
  const std::string correctedpath = path + ".matDJC";
  OutputFile correctedfile;
  if (!jaccard) correctedfile = ouvecr(correctedpath, 'a');
  OutputFile distancefile = ouvecr(distancepath, 'a');

  Rng15 rng(bootstrapseed());
  {
    ProgressWindow progress(ctx.ws, "Computing bootstraps");
    BitRows replicate(n, w);
    std::vector<int> present(static_cast<std::size_t>(n) + 1);
    for (int t = 1; t <= repetitions; ++t) {
      progress.step(t, repetitions);
      for (int i = 1; i <= n; ++i) {
        std::uint64_t* row = replicate.row(i);
        for (std::size_t word = 0; word < replicate.words(); ++word) row[word] = 0;
      }
      for (int col = 1; col <= w; ++col) {
        const int q = drawcolumn(rng.next(), m);
        for (int i = 1; i <= n; ++i)
          if (d.presence(i, q) > 0) replicate.set(i, col - 1);
      }
      for (int i = 1; i <= n; ++i) present[static_cast<std::size_t>(i)] = replicate.count(i);
      for (int i = 1; i <= n; ++i) {
        const int b = present[static_cast<std::size_t>(i)];
        for (int j = 1; j < i; ++j) {
          const int c = present[static_cast<std::size_t>(j)];
          if (b == 0 || c == 0) ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b, c);
          int a = replicate.shared(i, j);
          if (a == 0) a = 1;
          if (jaccard) {
            distance(i, j) = finiteor999(sitedistance(jaccardform(a, b, c, k), r));
          } else {
            const double dist = finiteor999(sitedistance(diceform(a, b, c, k), r));
            distance(i, j) = dist;
            corrected(i, j) = dist < 0.75 ? finiteor999(jukescantorcorrection(dist)) : kNoValue;
          }
        }
      }
      for (int i = 1; i <= n; ++i)
        for (int j = 1; j < i; ++j) {
          distance(j, i) = distance(i, j);
          if (!jaccard) corrected(j, i) = corrected(i, j);
        }
      writetriangle(distancefile, distance, d.names, TriangleKind::Real);
      if (!jaccard) writetriangle(correctedfile, corrected, d.names, TriangleKind::Real);
      if (distancefile.failed() || correctedfile.failed())
        errorstop("Error: can't write output file (calcboot)");
    }
  }
  // Both outputs complete before either replaces a file of its name.
  if (!jaccard && !correctedfile.close())
    errorstop("Error: can't write output file " + correctedpath + " (calcboot)");
  if (!distancefile.close()) errorstop("Error: can't write output file " + distancepath + " (calcboot)");
  if (!jaccard && !correctedfile.commit())
    errorstop("Error: can't write output file " + correctedpath + " (calcboot)");
  if (!distancefile.commit()) errorstop("Error: can't write output file " + distancepath + " (calcboot)");
  if (!jaccard) filedone(correctedpath);
  filedone(distancepath);

  ctx.report.print(jaccard ? "\nDistance = Jaccard\n" : "\nDistance = Dice\n");
  ctx.report.print("Output file: %s\n", distancepath.c_str());
  if (!jaccard) ctx.report.print("Output file for Jukes-Cantor correction: %s\n", correctedpath.c_str());
}

}  // namespace lorvane
