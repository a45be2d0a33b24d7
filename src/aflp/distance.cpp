#include "aflp/distance.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "aflp/bands.h"
#include "aflp/bits.h"
#include "aflp/formulas.h"
#include "aflp/triangle.h"
#include "core/datafile.h"
#include "core/messages.h"

namespace lorvane {

void checkparameters(int r, float k, const char* operation) {
  if (r < 1)
    errorstop(std::string("Error: the length of recognition sites must be 1 or more (") + operation + ")");
  if (!(k >= 0) || std::isinf(k))
    errorstop(std::string("Error: the K value must be a number of 0 or more (") + operation + ")");
}

void calcdist(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int jukescantor,
              int package) {
  checkparameters(r, kvalue, "calcdist");
  const double k = kvalue;
  ctx.report.print("Lorvane: Reading input file\n");

  const bool jaccard = index == 1, dice = index == 2, neilitable = index == 3;
  const bool corrected = dice && jukescantor == 1;
  const std::string distancepath = path + (jaccard ? ".matJ" : ".matD");
  const std::string similaritypath = path + (jaccard ? ".matJP" : ".matDP");
  const std::string sharedpath = path + ".nxy";
  const std::string correctedpath = path + ".matDJC";
  const std::string neilipath = path + ".matNL";

  BandData d = readbands(ctx, path, ReadMode::Simple);
  const int n = d.n;
  // Only the tables this index writes are made.
  RealTable distance, similarity, shared, correctedtable, neilitab;
  if (jaccard || dice) {
    distance = taballoc(n, n);
    similarity = taballoc(n, n);
    shared = taballoc(n, n);
  }
  if (corrected) correctedtable = taballoc(n, n);
  if (neilitable) neilitab = taballoc(n, n);

  ctx.report.print("Lorvane: Computing distances\n");
  const BitRows bits = packpresence(d.presence);
  tabrelease(d.presence);
  std::vector<int> present(static_cast<std::size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) present[static_cast<std::size_t>(i)] = bits.count(i);
  {
    ProgressWindow progress(ctx.ws, "Computing distances");
    for (int i = 1; i <= n; ++i) {
      progress.step(i, n);
      const int b = present[static_cast<std::size_t>(i)];
      for (int j = 1; j < i; ++j) {
        const int c = present[static_cast<std::size_t>(j)];
        if (b == 0 || c == 0) ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b, c);
        int a = bits.shared(i, j);
        if (a == 0) a = 1;
        if (jaccard) {
          const double s = jaccardform(a, b, c, k);
          distance(i, j) = finiteor999(sitedistance(s, r));
          similarity(i, j) = s;
          shared(i, j) = a;
        } else if (dice || neilitable) {
          const double s = diceform(a, b, c, k);
          if (dice) {
            const double dist = finiteor999(sitedistance(s, r));
            distance(i, j) = dist;
            similarity(i, j) = s;
            shared(i, j) = a;
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
          } else {
            neilitab(i, j) = neili(s, r);
          }
        }
      }
    }
  }

  auto mirror = [n](RealTable& t) {
    if (t.empty()) return;
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j < i; ++j) t(j, i) = t(i, j);
  };
  if (!shared.empty())
    for (int i = 1; i <= n; ++i) shared(i, i) = present[static_cast<std::size_t>(i)];
  mirror(distance);
  mirror(similarity);
  mirror(shared);
  mirror(correctedtable);
  mirror(neilitab);

  // Every output is written and closed before any of them replaces a file of
  // its name, so a run that fails keeps the earlier set whole.
  std::vector<OutputFile> outputs;
  auto write = [&](const std::string& name, const RealTable& t, TriangleKind kind) {
    OutputFile out = ouvecr(name, package == 1 ? 'b' : 'a');
    if (package == 1)
      writemat(t, out);
    else
      writetriangle(out, t, d.names, kind);
    outputs.push_back(std::move(out));
  };
  auto failed = [package](const std::string& name) {
    errorstop(package == 1 ? std::string("Error: can't write matrix (ecrmat)")
                           : "Error: can't write output file " + name + " (calcdist)");
  };
  if (jaccard || dice) {
    write(distancepath, distance, TriangleKind::Real);
    write(similaritypath, similarity, TriangleKind::Real);
    write(sharedpath, shared, TriangleKind::Counts);
  }
  if (corrected) write(correctedpath, correctedtable, TriangleKind::Real);
  if (neilitable) write(neilipath, neilitab, TriangleKind::Real);
  for (OutputFile& out : outputs)
    if (!out.close()) failed(out.path());
  for (OutputFile& out : outputs) {
    if (!out.commit()) failed(out.path());
    filedone(out.path());
  }

  auto outputlines = [&](const std::string& name) {
    ctx.report.print("Output file: %s\n", name.c_str());
    ctx.report.print("--- Number of rows: %d, columns: %d\n", n, n);
  };
  if (jaccard || dice) {
    ctx.report.print(jaccard ? "\nDistance = Jaccard\n" : "\nDistance = Dice\n");
    outputlines(distancepath);
    outputlines(similaritypath);
    outputlines(sharedpath);
  } else if (neilitable) {
    ctx.report.print("\nDistance = Dice corrigee Nei & Li (79)\n");
    outputlines(neilipath);
  }
  if (corrected) outputlines(correctedpath);
}

}  // namespace lorvane
