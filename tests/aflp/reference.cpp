#include "reference.h"

#include <cstdio>

#include "aflp/bands.h"
#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "aflp/formulas.h"
#include "aflp/random.h"
#include "core/datafile.h"
#include "core/messages.h"
#include "runs/runsupport.h"
#include "tables.h"

namespace lorvane::reference {
namespace {

enum class Kind { Real, Counts };

void writetriangle(CFile& out, const RealTable& t, const CharTable& names, Kind kind) {
  const int n = t.rows();
  out.print("%d\n", n);
  for (int i = 1; i <= n; ++i) {
    std::string line = names[i];
    line.append(static_cast<std::size_t>(i - 1) * 6, ' ');
    char field[512];
    for (int j = kind == Kind::Counts ? i : i + 1; j <= n; ++j) {
      const double v = static_cast<float>(t(i, j));
      const int len = kind == Kind::Real ? std::snprintf(field, sizeof field, "%5.3f ", v)
                                         : std::snprintf(field, sizeof field, "%5.0f ", v);
      line.append(field, static_cast<std::size_t>(len));
    }
    line.push_back('\n');
    out.text(line);
  }
}

// Presence counts over the columns of a table.
struct Counts {
  int a, b, c;
};
Counts count(const RealTable& t, int i, int j) {
  Counts s{0, 0, 0};
  for (int k = 1; k <= t.cols(); ++k) {
    const bool x = t(i, k) > 0, y = t(j, k) > 0;
    s.a += x && y;
    s.b += x;
    s.c += y;
  }
  return s;
}

}  // namespace

void calcdist(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int jukescantor,
              int package) {
  checkparameters(r, kvalue, "calcdist");
  const double k = kvalue;
  ctx.report.print("Lorvane: Reading input file\n");
  const bool jaccard = index == 1, dice = index == 2, neilitable = index == 3;
  const bool corrected = dice && jukescantor == 1;
  ReportedBands bandlines(ctx.report, path, true);
  BandData d = readbands(path, ReadMode::Simple, bandlines);
  RealTable presence = taballoc(d.n, d.m);
  lecmat(presence, d.scratch.path());  // the band values as the scratch file holds them
  const int n = d.n;
  RealTable distance = taballoc(n, n), similarity = taballoc(n, n), shared = taballoc(n, n),
            correctedtable = taballoc(n, n), neilitab = taballoc(n, n);
  ctx.report.print("Lorvane: Computing distances\n");
  {
    ProgressWindow progress(ctx.ws, "Computing distances");
    for (int i = 1; i <= n; ++i) {
      progress.step(i, n);
      for (int j = 1; j < i; ++j) {
        Counts s = count(presence, i, j);
        if (s.b == 0 || s.c == 0) ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, s.b, s.c);
        if (s.a == 0) s.a = 1;
        const double sim = jaccard ? jaccardform(s.a, s.b, s.c, k) : diceform(s.a, s.b, s.c, k);
        const double dist = finiteor999(sitedistance(sim, r));
        distance(i, j) = dist;
        similarity(i, j) = sim;
        shared(i, j) = s.a;
        if (corrected) {
          if (dist < 0.75) {
            correctedtable(i, j) = finiteor999(jukescantorcorrection(dist));
          } else {
            char message[96];
            std::snprintf(message, sizeof message, "Erreur : dist[%d][%d] = %5.4f ", i, j, dist);
            infobox(ctx.ws, message);
            correctedtable(i, j) = kNoValue;
          }
        }
        if (neilitable) neilitab(i, j) = neili(sim, r);
      }
    }
  }
  for (int i = 1; i <= n; ++i) shared(i, i) = count(presence, i, i).b;
  for (RealTable* t : {&distance, &similarity, &shared, &correctedtable, &neilitab})
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j < i; ++j) (*t)(j, i) = (*t)(i, j);

  auto write = [&](const std::string& name, const RealTable& t, Kind kind) {
    if (package == 1) {
      ecrmat(t, name);
    } else {
      OutputFile out = ouvecr(name, 'a');
      writetriangle(out, t, d.names, kind);
      if (!out.commit()) errorstop("Error: can't write output file " + name + " (calcdist)");
    }
  };
  const std::string ext = jaccard ? ".matJ" : ".matD";
  if (jaccard || dice) {
    write(path + ext, distance, Kind::Real);
    write(path + ext + "P", similarity, Kind::Real);
    write(path + ".nxy", shared, Kind::Counts);
  }
  if (corrected) write(path + ".matDJC", correctedtable, Kind::Real);
  if (neilitable) write(path + ".matNL", neilitab, Kind::Real);
  auto outputlines = [&](const std::string& name) {
    ctx.report.print("Output file: %s\n", name.c_str());
    ctx.report.print("--- Number of rows: %d, columns: %d\n", n, n);
  };
  if (jaccard || dice) {
    ctx.report.print(jaccard ? "\nDistance = Jaccard\n" : "\nDistance = Dice\n");
    outputlines(path + ext);
    outputlines(path + ext + "P");
    outputlines(path + ".nxy");
  } else if (neilitable) {
    ctx.report.print("\nDistance = Dice corrigee Nei & Li (79)\n");
    outputlines(path + ".matNL");
  }
  if (corrected) outputlines(path + ".matDJC");
}

void calcboot(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int /*jukescantor*/,
              int repetitions) {
  checkparameters(r, kvalue, "calcboot");
  const double k = kvalue;
  ctx.report.print("Brisane: Reading input file\n");
  ReportedBands bandlines(ctx.report, path, false);
  BandData d = readbands(path, ReadMode::Bootstrap, bandlines);
  const int n = d.n, m = d.m;
  RealTable presence = taballoc(n, m);
  for (int i = 1; i <= n; ++i)
    for (int q = 1; q <= m; ++q) presence(i, q) = d.bits.test(i - 1, q - 1) ? 1.0 : 0.0;
  const int w = static_cast<int>(static_cast<double>(m) * k);
  const bool jaccard = index == 1;
  RealTable replicate = taballoc(n, w > 0 ? w : 1), distance = taballoc(n, n), corrected = taballoc(n, n);
  ctx.report.print("Brisane: Computing bootstraps\n");
  const std::string distancepath = path + (jaccard ? ".matJ" : ".matD");
  const std::string correctedpath = path + ".matDJC";
  OutputFile correctedfile;
  if (!jaccard) correctedfile = ouvecr(correctedpath, 'a');
  OutputFile distancefile = ouvecr(distancepath, 'a');
  const std::uint32_t seed = ctx.settings.seedvalue();
  Rng15 rng(seed);
  {
    ProgressWindow progress(ctx.ws, "Computing bootstraps");
    for (int t = 1; t <= repetitions; ++t) {
      progress.step(t, repetitions);
      for (int col = 1; col <= w; ++col) {
        const int q = drawcolumn(rng.next(), m);
        for (int i = 1; i <= n; ++i) replicate(i, col) = presence(i, q);
      }
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j < i; ++j) {
          int a = 0, b = 0, c = 0;
          for (int col = 1; col <= w; ++col) {
            const bool x = replicate(i, col) > 0, y = replicate(j, col) > 0;
            a += x && y;
            b += x;
            c += y;
          }
          if (b == 0 || c == 0) ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b, c);
          if (a == 0) a = 1;
          if (jaccard) {
            distance(i, j) = finiteor999(sitedistance(jaccardform(a, b, c, k), r));
          } else {
            const double dist = finiteor999(sitedistance(diceform(a, b, c, k), r));
            distance(i, j) = dist;
            corrected(i, j) = dist < 0.75 ? finiteor999(jukescantorcorrection(dist)) : kNoValue;
          }
          distance(j, i) = distance(i, j);
          corrected(j, i) = corrected(i, j);
        }
      }
      writetriangle(distancefile, distance, d.names, Kind::Real);
      if (!jaccard) writetriangle(correctedfile, corrected, d.names, Kind::Real);
    }
  }
  if (!jaccard && !correctedfile.commit()) errorstop("Error: can't write output file (reference)");
  if (!distancefile.commit()) errorstop("Error: can't write output file (reference)");
  ctx.report.print(jaccard ? "\nDistance = Jaccard\n" : "\nDistance = Dice\n");
  ctx.report.print("Output file: %s\n", distancepath.c_str());
  if (!jaccard) ctx.report.print("Output file for Jukes-Cantor correction: %s\n", correctedpath.c_str());
  ctx.report.print("Random number seed: %u\n", seed);
}

}  // namespace lorvane::reference
