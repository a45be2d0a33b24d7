#include "aflp/bootstrap.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>

#include "aflp/bands.h"
#include "aflp/paircount.h"
#include "aflp/rowbuffer.h"
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

int drawwidecolumn(int v1, int v2, int m) {
  const std::uint64_t v = static_cast<std::uint64_t>(v1) * 32768u + static_cast<std::uint64_t>(v2);
  return 1 + static_cast<int>((v * static_cast<std::uint64_t>(m)) >> 30);
}

void calcboot(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int /*jukescantor*/,
              int repetitions) {
  checkparameters(r, kvalue, "calcboot");
  const double k = kvalue;
  ctx.report.print("Brisane: Reading input file\n");
  BandData d = readbands(ctx, path, ReadMode::Bootstrap, BandStore::Bits);
  const int n = d.n, m = d.m;
  const double product = static_cast<double>(m) * k;
  if (product > 2147483647.0) errorstop("Error: insufficient memory (taballoc)");
  const int w = static_cast<int>(product);
  const bool jaccard = index == 1;

  ctx.report.print("Brisane: Computing bootstraps\n");
  const std::string distancepath = path + (jaccard ? ".matJ" : ".matD");
  const std::string correctedpath = path + ".matDJC";
  OutputFile correctedfile;
  if (!jaccard) correctedfile = ouvecr(correctedpath, 'a');
  OutputFile distancefile = ouvecr(distancepath, 'a');

  const int block = rowblock(n);
  std::vector<RowBuffer> distancerows(static_cast<std::size_t>(block)), correctedrows;
  if (!jaccard) correctedrows.resize(static_cast<std::size_t>(block));
  const int threads = computethreads();
  auto site = [r](double s) { return r == 1 ? 1.0 - s : sitedistance(s, r); };

  Rng15 rng(bootstrapseed());
  {
    ProgressWindow progress(ctx.ws, "Computing bootstraps");
    std::vector<int> drawn(static_cast<std::size_t>(m));  // times each column is drawn
    std::vector<int> present(static_cast<std::size_t>(n) + 1);
    std::vector<int> bandless;
    for (int t = 1; t <= repetitions; ++t) {
      progress.step(t, repetitions);
      std::fill(drawn.begin(), drawn.end(), 0);
      for (int col = 1; col <= w; ++col) {
        int q;
        if (m <= 32768) {
          q = drawcolumn(rng.next(), m);
        } else {
          const int v1 = rng.next();
          q = drawwidecolumn(v1, rng.next(), m);
        }
        ++drawn[static_cast<std::size_t>(q - 1)];
      }
      // The multiplicities as bit planes: plane t holds bit t of each count.
      const int most = w > 0 ? *std::max_element(drawn.begin(), drawn.end()) : 0;
      const int nplanes = static_cast<int>(std::bit_width(static_cast<unsigned>(most)));
      BitMatrix planes(nplanes > 0 ? nplanes : 1, m);
      for (int q = 0; q < m; ++q)
        for (int b = 0; b < nplanes; ++b)
          if ((drawn[static_cast<std::size_t>(q)] >> b) & 1) planes.set(b, q);

      bandless.clear();
      for (int i = 1; i <= n; ++i) {
        const int b = nplanes > 0 ? static_cast<int>(sharedcount(d.bits, i - 1, i - 1, &planes, nplanes)) : 0;
        present[static_cast<std::size_t>(i)] = b;
        if (b == 0) bandless.push_back(i);
      }
      // The warning lines of the pair loop (they depend on b and c only).
      for (int i = 1; i <= n; ++i) {
        const int b = present[static_cast<std::size_t>(i)];
        if (b == 0) {
          for (int j = 1; j < i; ++j)
            ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b,
                             present[static_cast<std::size_t>(j)]);
        } else {
          for (int j : bandless) {
            if (j >= i) break;
            ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b, 0);
          }
        }
      }

      distancefile.print("%d\n", n);
      if (!jaccard) correctedfile.print("%d\n", n);
      PairCounter counter(d.bits, &planes, nplanes);
      for (int r0 = 0; r0 < n; r0 += block) {
        const int r1 = std::min(n, r0 + block);
        if (nplanes > 0) counter.count(r0, r1, r0, n, true);
        bool outofmemory = false;
#ifdef _OPENMP
#pragma omp parallel for schedule(dynamic) num_threads(threads) if (threads > 1 && r1 - r0 > 1)
#endif
        for (int row = r0; row < r1; ++row) {
          try {
            const int i = row + 1, slot = row - r0;
            RowBuffer& dl = distancerows[static_cast<std::size_t>(slot)];
            RowBuffer* cl = jaccard ? nullptr : &correctedrows[static_cast<std::size_t>(slot)];
            dl.clear();
            dl.append(d.names[i]);
            dl.spaces(static_cast<std::size_t>(i - 1) * 6);
            if (cl) {
              cl->clear();
              cl->append(d.names[i]);
              cl->spaces(static_cast<std::size_t>(i - 1) * 6);
            }
            const int c = present[static_cast<std::size_t>(i)];
            for (int j = i + 1; j <= n; ++j) {
              const std::int64_t shared = nplanes > 0 ? counter.at(row, j - 1) : 0;
              const int a = shared == 0 ? 1 : static_cast<int>(shared);
              const int b = present[static_cast<std::size_t>(j)];  // the later strain, as in the pair loop
              if (jaccard) {
                dl.real(finiteor999(site(jaccardform(a, b, c, k))));
              } else {
                const double dist = finiteor999(site(diceform(a, b, c, k)));
                dl.real(dist);
                cl->real(dist < 0.75 ? finiteor999(jukescantorcorrection(dist)) : kNoValue);
              }
            }
            dl.lineend();
            if (cl) cl->lineend();
          } catch (const std::bad_alloc&) {
#ifdef _OPENMP
#pragma omp atomic write
#endif
            outofmemory = true;
          }
        }
        if (outofmemory) errorstop("Error: insufficient memory (calcboot)");
        for (int row = r0; row < r1; ++row) {
          const RowBuffer& dl = distancerows[static_cast<std::size_t>(row - r0)];
          distancefile.bytes(dl.data(), dl.size());
        }
        if (!jaccard)
          for (int row = r0; row < r1; ++row) {
            const RowBuffer& cl = correctedrows[static_cast<std::size_t>(row - r0)];
            correctedfile.bytes(cl.data(), cl.size());
          }
        if (distancefile.failed() || correctedfile.failed())
          errorstop("Error: can't write output file (calcboot)");
      }
    }
  }
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
