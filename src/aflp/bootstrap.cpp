#include "aflp/bootstrap.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <bit>
#include <chrono>
#include <future>
#include <cstdlib>

#include "aflp/bands.h"
#include "aflp/paircount.h"
#include "aflp/workers.h"
#include "aflp/rowbuffer.h"
#include "aflp/distance.h"
#include "aflp/formulas.h"
#include "aflp/random.h"
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

  const int threads = computethreads();

  // One replicate: its column multiplicities as bit planes (plane t holds
  // bit t of each column's count) and the bands of each strain.
  struct Replicate {
    std::vector<int> drawn;
    BitMatrix planes;
    int nplanes = 0;
    std::vector<int> present;
    RowBuffer distance, corrected;  // whole triangles, count line first (small files)
  };
  auto weigh = [&](Replicate& rep) {
    const int most = w > 0 ? *std::max_element(rep.drawn.begin(), rep.drawn.end()) : 0;
    rep.nplanes = static_cast<int>(std::bit_width(static_cast<unsigned>(most)));
    rep.planes = BitMatrix(rep.nplanes > 0 ? rep.nplanes : 1, m);
    for (int q = 0; q < m; ++q)
      for (int b = 0; b < rep.nplanes; ++b)
        if ((rep.drawn[static_cast<std::size_t>(q)] >> b) & 1) rep.planes.set(b, q);
    rep.present.assign(static_cast<std::size_t>(n) + 1, 0);
    if (rep.nplanes > 0)
      for (int i = 1; i <= n; ++i)
        rep.present[static_cast<std::size_t>(i)] =
            static_cast<int>(sharedcount(d.bits, i - 1, i - 1, &rep.planes, rep.nplanes));
  };
  // Rows [r0, r1) of the replicate's triangles, appended to the buffers.
  // The fields of a pair depend on a and b + c only: with K in single
  // precision, K c + K b (and K/2 c + K/2 b) is exact in double precision for
  // any counts below 2^29, so it equals K (b + c) whatever the split. Pairs
  // repeat the same few (a, b + c) over the replicates: each one's two
  // fields are kept once computed (the first thread to compute one stores it).
  struct MemoEntry {
    std::atomic<std::uint8_t> state{0};  // 0 empty, 1 being stored, 2 ready
    std::uint8_t distancelength = 0, correctedlength = 0;
    char distance[16], corrected[16];
  };
  const long long memorows = static_cast<long long>(w) + 1, memocols = 2LL * w + 1;
  std::vector<MemoEntry> memo(memorows * memocols <= (1LL << 20) ? static_cast<std::size_t>(memorows * memocols)
                                                                   : 0);
  auto buildrows = [&](const Replicate& rep, const PairCounter& counter, int r0, int r1, RowBuffer& dl,
                       RowBuffer* cl) {
    char dfield[kMaxFixedField], cfield[kMaxFixedField];
    for (int row = r0; row < r1; ++row) {
      const int i = row + 1;
      dl.append(d.names[i]);
      dl.gap(static_cast<std::size_t>(i - 1) * 6);  // the blank lower triangle
      if (cl) {
        cl->append(d.names[i]);
        cl->gap(static_cast<std::size_t>(i - 1) * 6);
      }
      const int c = rep.present[static_cast<std::size_t>(i)];
      for (int j = i + 1; j <= n; ++j) {
        const std::int64_t shared = rep.nplanes > 0 ? counter.at(row, j - 1) : 0;
        const int a = shared == 0 ? 1 : static_cast<int>(shared);
        const int b = rep.present[static_cast<std::size_t>(j)];  // the later strain, as in the pair loop
        MemoEntry* entry = nullptr;
        if (!memo.empty() && a < memorows && b + c < memocols) {
          entry = &memo[static_cast<std::size_t>(a * memocols + b + c)];
          if (entry->state.load(std::memory_order_acquire) == 2) {
            dl.appendshort(entry->distance, entry->distancelength);
            if (cl) cl->appendshort(entry->corrected, entry->correctedlength);
            continue;
          }
        }
        std::size_t dn = 0, cn = 0;
        if (jaccard) {
          dn = fixed3field(dfield, static_cast<float>(finiteor999(sitedistance(jaccardform(a, b, c, k), r))));
        } else {
          const double dist = finiteor999(sitedistance(diceform(a, b, c, k), r));
          dn = fixed3field(dfield, static_cast<float>(dist));
          cn = fixed3field(cfield, static_cast<float>(dist < 0.75 ? finiteor999(jukescantorcorrection(dist))
                                                                  : kNoValue));
        }
        dl.append({dfield, dn});
        if (cl) cl->append({cfield, cn});
        std::uint8_t empty = 0;
        if (entry && dn <= sizeof entry->distance && cn <= sizeof entry->corrected &&
            entry->state.compare_exchange_strong(empty, 1, std::memory_order_acq_rel)) {
          std::memcpy(entry->distance, dfield, dn);
          std::memcpy(entry->corrected, cfield, cn);
          entry->distancelength = static_cast<std::uint8_t>(dn);
          entry->correctedlength = static_cast<std::uint8_t>(cn);
          entry->state.store(2, std::memory_order_release);
        }
      }
      dl.lineend();
      if (cl) cl->lineend();
    }
  };
  // The warning lines of the pair loop (they depend on b and c only).
  auto warn = [&](const Replicate& rep) {
    std::vector<int> bandless;
    for (int i = 1; i <= n; ++i) {
      const int b = rep.present[static_cast<std::size_t>(i)];
      if (b == 0) {
        for (int j = 1; j < i; ++j)
          ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b,
                           rep.present[static_cast<std::size_t>(j)]);
        bandless.push_back(i);
      } else {
        for (int j : bandless)
          ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b, 0);
      }
    }
  };
  auto written = [&] {
    if (distancefile.failed() || correctedfile.failed()) errorstop("Error: can't write output file (calcboot)");
  };

  // Small tables: whole replicates side by side, one per thread at a time.
  // Large ones: one replicate at a time, its rows spread over the threads.
  const long long cells = static_cast<long long>(n) * (n - 1) / 2;
  const int batch = replicatebatch(cells);
  const std::string countline = std::to_string(n) + "\r\n";  // as the formatted "%d\n" is written
  // Two sets of replicates: one computed while the other is written.
  std::vector<Replicate> sets[2] = {std::vector<Replicate>(static_cast<std::size_t>(batch)),
                                    std::vector<Replicate>(batch > 1 ? static_cast<std::size_t>(batch) : 0)};
  std::vector<PairCounter> counters;  // one per replicate of a batch, kept for their memory
  for (auto& set : sets)
    for (auto& rep : set) rep.drawn.resize(static_cast<std::size_t>(m));
  for (int b = 0; b < batch; ++b) counters.emplace_back(d.bits, nullptr, 0, 1);
  std::future<void> writing[2];  // the distance file, the corrected file
  auto waitwritten = [&] {
    for (auto& f : writing)
      if (f.valid()) f.get();
    written();
  };

  const std::uint32_t seed = bootstrapseed();
  Rng15 rng(seed);
  {
    ProgressWindow progress(ctx.ws, "Computing bootstraps");
    for (int t0 = 1, set = 0; t0 <= repetitions; t0 += batch, set ^= 1) {
      std::vector<Replicate>& reps = sets[batch > 1 ? set : 0];
      const int count = std::min(batch, repetitions - t0 + 1);
      // The draws, in replicate and column order from the one generator.
      for (int b = 0; b < count; ++b) {
        std::vector<int>& drawn = reps[static_cast<std::size_t>(b)].drawn;
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
      }
      if (batch > 1) {
        try {
          parallelfor(count, threads, [&](int at) {
            const int b = at;
            Replicate& rep = reps[static_cast<std::size_t>(b)];
            weigh(rep);
            PairCounter& counter = counters[static_cast<std::size_t>(b)];
            counter.setplanes(&rep.planes, rep.nplanes);
            if (rep.nplanes > 0) counter.count(0, n, 0, n, true);
            rep.distance.clear();
            rep.corrected.clear();
            rep.distance.append(countline);
            rep.corrected.append(countline);
            buildrows(rep, counter, 0, n, rep.distance, jaccard ? nullptr : &rep.corrected);
          });
        } catch (const std::bad_alloc&) {
          errorstop("Error: insufficient memory (calcboot)");
        }
        waitwritten();
        for (int b = 0; b < count; ++b) {
          progress.step(t0 + b, repetitions);
          warn(reps[static_cast<std::size_t>(b)]);
        }
        writing[0] = std::async(std::launch::async, [&, count, &reps = reps] {
          for (int b = 0; b < count; ++b) {
            writerows(distancefile, &reps[static_cast<std::size_t>(b)].distance, 1);
          }
        });
        if (!jaccard)
          writing[1] = std::async(std::launch::async, [&, count, &reps = reps] {
            for (int b = 0; b < count; ++b) {
              writerows(correctedfile, &reps[static_cast<std::size_t>(b)].corrected, 1);
            }
          });
        continue;
      }

      Replicate& rep = reps[0];
      progress.step(t0, repetitions);
      try {
        weigh(rep);
      } catch (const std::bad_alloc&) {
        errorstop("Error: insufficient memory (calcboot)");
      }
      warn(rep);
      distancefile.print("%d\n", n);
      if (!jaccard) correctedfile.print("%d\n", n);
      PairCounter counter(d.bits, &rep.planes, rep.nplanes);
      const int block = rowblock(n);
      std::vector<RowBuffer> dls(static_cast<std::size_t>(block)), cls(static_cast<std::size_t>(block));
      for (int r0 = 0; r0 < n; r0 += block) {
        checkinterrupt();  // a replicate of many strains takes a while
        const int r1 = std::min(n, r0 + block);
        if (rep.nplanes > 0) counter.count(r0, r1, r0, n, true);
        try {
          parallelfor(r1 - r0, threads, [&](int at) {
            const int row = r0 + at;
            RowBuffer& dl = dls[static_cast<std::size_t>(row - r0)];
            RowBuffer& cl = cls[static_cast<std::size_t>(row - r0)];
            dl.clear();
            cl.clear();
            buildrows(rep, counter, row, row + 1, dl, jaccard ? nullptr : &cl);
          });
        } catch (const std::bad_alloc&) {
          errorstop("Error: insufficient memory (calcboot)");
        }
        writerows(distancefile, dls.data(), static_cast<std::size_t>(r1 - r0));
        if (!jaccard) writerows(correctedfile, cls.data(), static_cast<std::size_t>(r1 - r0));
        written();
      }
    }
    waitwritten();
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
  ctx.report.print("Random number seed: %u\n", seed);
}

}  // namespace lorvane
