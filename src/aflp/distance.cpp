#include "aflp/distance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <memory>
#include <new>
#include <vector>

#include "aflp/bands.h"
#include "aflp/formulas.h"
#include "aflp/paircount.h"
#include "aflp/workers.h"
#include "aflp/rowbuffer.h"
#include "core/datafile.h"
#include "core/messages.h"

namespace lorvane {

void checkparameters(int r, float k, const char* operation) {
  if (r < 1)
    errorstop(std::string("Error: the length of recognition sites must be 1 or more (") + operation + ")");
  if (!(k >= 0) || std::isinf(k))
    errorstop(std::string("Error: the K value must be a number of 0 or more (") + operation + ")");
}

namespace {

enum class Figure { Distance, Similarity, Shared, Corrected, NeiLi };

// The figures of one pair of strains, from its counts: a shared bands,
// b and c the bands of each strain.
struct PairFigures {
  double distance = 0, similarity = 0, shared = 0, corrected = 0, neili = 0;
  bool nocorrection = false;  // a Dice distance of 0.75 or more
};

class PairFormulas {
 public:
  PairFormulas(int index, bool corrected, int r, double k)
      : jaccard_(index == 1), dice_(index == 2), neili_(index == 3), corrected_(corrected), r_(r), k_(k) {}

  PairFigures operator()(std::int64_t shared, int b, int c) const {
    PairFigures f;
    const int a = shared == 0 ? 1 : static_cast<int>(shared);
    f.shared = a;
    if (jaccard_) {
      f.similarity = jaccardform(a, b, c, k_);
      f.distance = finiteor999(sitedistance(f.similarity, r_));
    } else if (dice_) {
      f.similarity = diceform(a, b, c, k_);
      f.distance = finiteor999(sitedistance(f.similarity, r_));
      if (corrected_) {
        if (f.distance < 0.75) {
          f.corrected = finiteor999(jukescantorcorrection(f.distance));
        } else {
          f.corrected = kNoValue;
          f.nocorrection = true;
        }
      }
    } else if (neili_) {
      f.similarity = diceform(a, b, c, k_);
      f.neili = neili(f.similarity, r_);
    }
    return f;
  }

 private:
  bool jaccard_, dice_, neili_, corrected_;
  int r_;
  double k_;
};

// One output table, written by blocks of rows.
struct Output {
  Figure figure;
  std::string path;
  OutputFile file;
  std::vector<RowBuffer> rows[2];  // one per row of the block; two blocks: one computed, one written

  double value(const PairFigures& f) const {
    switch (figure) {
      case Figure::Distance: return f.distance;
      case Figure::Similarity: return f.similarity;
      case Figure::Shared: return f.shared;
      case Figure::Corrected: return f.corrected;
      case Figure::NeiLi: return f.neili;
    }
    return 0;
  }
};

}  // namespace

void calcdist(RunContext& ctx, const std::string& path, int r, float kvalue, int index, int jukescantor,
              int package) {
  checkparameters(r, kvalue, "calcdist");
  const double k = kvalue;
  ctx.report.print("Lorvane: Reading input file\n");

  const bool jaccard = index == 1, dice = index == 2, neilitable = index == 3;
  const bool corrected = dice && jukescantor == 1;
  const bool binary = package == 1;
  const std::string distancepath = path + (jaccard ? ".matJ" : ".matD");
  const std::string similaritypath = path + (jaccard ? ".matJP" : ".matDP");
  const std::string sharedpath = path + ".nxy";
  const std::string correctedpath = path + ".matDJC";
  const std::string neilipath = path + ".matNL";

  // The scratch file stays until the end of the run (removed with d).
  BandData d = readbands(ctx, path, ReadMode::Simple, BandStore::Bits);
  const int n = d.n;
  const BitMatrix& bits = d.bits;

  ctx.report.print("Lorvane: Computing distances\n");
  std::vector<int> present(static_cast<std::size_t>(n) + 1);
  std::vector<int> bandless;  // strains without bands, ascending
  for (int i = 1; i <= n; ++i) {
    present[static_cast<std::size_t>(i)] = static_cast<int>(sharedcount(bits, i - 1, i - 1, nullptr, 0));
    if (present[static_cast<std::size_t>(i)] == 0) bandless.push_back(i);
  }

  // The outputs in the order they are written and reported.
  std::vector<Output> outputs;
  auto add = [&](Figure f, const std::string& name) {
    outputs.push_back(Output{f, name, ouvecr(name, binary ? 'b' : 'a'), {}});
  };
  if (jaccard || dice) {
    add(Figure::Distance, distancepath);
    add(Figure::Similarity, similaritypath);
    add(Figure::Shared, sharedpath);
  }
  if (corrected) add(Figure::Corrected, correctedpath);
  if (neilitable) add(Figure::NeiLi, neilipath);

  const PairFormulas formulas(index, corrected, r, k);
  const int block = rowblock(n);
  for (Output& o : outputs) {
    o.rows[0].resize(static_cast<std::size_t>(block));
    o.rows[1].resize(static_cast<std::size_t>(block));
    if (!binary) o.file.print("%d\n", n);
  }

  // The pairs (i, j < i) whose distance has no Jukes-Cantor correction, by i,
  // waiting for their message in the order of the pair loop.
  std::vector<std::vector<int>> pending(corrected ? static_cast<std::size_t>(n) + 1 : 0);
  std::vector<std::vector<int>> flagged(corrected ? static_cast<std::size_t>(block) : 0);

  {
    ProgressWindow progress(ctx.ws, "Computing distances");
    // Progress steps, warning lines and messages of the outer iterations
    // 1 .. upto, exactly in the order of the loop over i, then j < i: a pair
    // (i, j) is complete once the rows of the upper triangle up to j are.
    int next = 1;
    auto announce = [&](int upto) {
      for (; next <= upto; ++next) {
        const int i = next;
        progress.step(i, n);
        const int b = present[static_cast<std::size_t>(i)];
        std::vector<int>* late = corrected ? &pending[static_cast<std::size_t>(i)] : nullptr;
        std::size_t z = 0, p = 0;
        const int zend = b == 0 ? i - 1 : static_cast<int>(bandless.size());
        for (;;) {
          int jz = n + 1, jp = n + 1;
          if (b == 0) {
            if (static_cast<int>(z) < zend) jz = static_cast<int>(z) + 1;
          } else if (z < bandless.size() && bandless[z] < i) {
            jz = bandless[z];
          }
          if (late && p < late->size()) jp = (*late)[p];
          const int j = std::min(jz, jp);
          if (j > n) break;
          if (j == jz) {
            ctx.report.print("nsou1 = %d, nsou2 = %d, b = %d, c = %d\n", i, j, b,
                             present[static_cast<std::size_t>(j)]);
            ++z;
          }
          if (j == jp) {
            const PairFigures f = formulas(sharedcount(bits, i - 1, j - 1, nullptr, 0), b,
                                           present[static_cast<std::size_t>(j)]);
            char message[96];
            std::snprintf(message, sizeof message, "Erreur : dist[%d][%d] = %5.4f ", i, j, f.distance);
            infobox(ctx.ws, message);
            ++p;
          }
        }
        if (late) std::vector<int>().swap(*late);
      }
    };

    if (!outputs.empty()) {
      PairCounter counter(bits, nullptr, 0);
      const int threads = computethreads();
      // Each block is written, each file by a thread of its own, while the
      // next one is computed into the other set of rows.
      std::vector<std::future<void>> writing;  // one per output file
      auto checkwritten = [&] {
        for (auto& w : writing) w.get();
        writing.clear();
        for (const Output& o : outputs)
          if (o.file.failed())
            errorstop(binary ? "Error: can't write matrix (ecrmat)"
                             : "Error: can't write output file " + o.path + " (calcdist)");
      };
      for (int r0 = 0, set = 0; r0 < n; r0 += block, set ^= 1) {
        const int r1 = std::min(n, r0 + block);
        // Text rows hold the upper triangle; binary rows are whole.
        counter.count(r0, r1, binary ? 0 : r0, n, !binary);
        try {
          parallelfor(r1 - r0, threads, [&](int at) {
            const int row = r0 + at;
            const int i = row + 1, slot = row - r0;
            std::vector<int>* flags = corrected ? &flagged[static_cast<std::size_t>(slot)] : nullptr;
            if (flags) flags->clear();
            const int bi = present[static_cast<std::size_t>(i)];
            for (Output& o : outputs) {
              RowBuffer& rb = o.rows[set][static_cast<std::size_t>(slot)];
              rb.clear();
              if (!binary) {
                rb.append(d.names[i]);
                rb.gap(static_cast<std::size_t>(i - 1) * 6);  // the blank lower triangle
                if (o.figure == Figure::Shared) rb.count(bi);
              }
            }
            if (!binary && !corrected && outputs.size() == 3) {  // the usual text tables, without dispatch
              RowBuffer& distancerow = outputs[0].rows[set][static_cast<std::size_t>(slot)];
              RowBuffer& similarityrow = outputs[1].rows[set][static_cast<std::size_t>(slot)];
              RowBuffer& sharedrow = outputs[2].rows[set][static_cast<std::size_t>(slot)];
              constexpr int kChunk = 256;
              for (int j0 = i + 1; j0 <= n; j0 += kChunk) {
                const int j1 = std::min(n, j0 + kChunk - 1);
                const auto fields = static_cast<std::size_t>(j1 - j0 + 1);
                char* dp = distancerow.fieldcursor(fields);
                char* sp = similarityrow.fieldcursor(fields);
                char* cp = sharedrow.fieldcursor(fields);
                for (int j = j0; j <= j1; ++j) {
                  const PairFigures f =
                      formulas(counter.at(row, j - 1), present[static_cast<std::size_t>(j)], bi);
                  dp += fixed3field(dp, static_cast<float>(f.distance));
                  sp += fixed3field(sp, static_cast<float>(f.similarity));
                  cp += fixed0field(cp, static_cast<float>(f.shared));
                }
                distancerow.commit(dp);
                similarityrow.commit(sp);
                sharedrow.commit(cp);
              }
              distancerow.lineend();
              similarityrow.lineend();
              sharedrow.lineend();
              return;
            }
            for (int j = binary ? 1 : i + 1; j <= n; ++j) {
              if (j == i) {  // the diagonal of a binary file
                for (Output& o : outputs)
                  o.rows[set][static_cast<std::size_t>(slot)].binary(o.figure == Figure::Shared ? bi : 0.0);
                continue;
              }
              const int bj = present[static_cast<std::size_t>(j)];
              // As in the pair loop: b is the later strain's count.
              const PairFigures f = formulas(counter.at(row, j - 1), j > i ? bj : bi, j > i ? bi : bj);
              if (f.nocorrection && flags && j > i) flags->push_back(j);
              for (Output& o : outputs) {
                RowBuffer& rb = o.rows[set][static_cast<std::size_t>(slot)];
                if (binary)
                  rb.binary(o.value(f));
                else if (o.figure == Figure::Shared)
                  rb.count(f.shared);
                else
                  rb.real(o.value(f));
              }
            }
            if (!binary)
              for (Output& o : outputs) o.rows[set][static_cast<std::size_t>(slot)].lineend();
          });
        } catch (const std::bad_alloc&) {
          errorstop("Error: insufficient memory (calcdist)");
        }
        checkwritten();
        for (Output& o : outputs)
          writing.push_back(std::async(std::launch::async, [&o, set, rows = r1 - r0] {
            writerows(o.file, o.rows[set].data(), static_cast<std::size_t>(rows));
          }));
        if (corrected)
          for (int row = r0; row < r1; ++row)
            for (int j : flagged[static_cast<std::size_t>(row - r0)])
              pending[static_cast<std::size_t>(j)].push_back(row + 1);
        announce(std::min(n, r1 + 1));
      }
      checkwritten();
    }
    announce(n);
  }

  // Every output is written and closed before any of them replaces a file of
  // its name, so a run that fails keeps the earlier set whole.
  auto failed = [binary](const std::string& name) {
    errorstop(binary ? std::string("Error: can't write matrix (ecrmat)")
                     : "Error: can't write output file " + name + " (calcdist)");
  };
  for (Output& o : outputs) {
    if (binary) {
      const std::string trailer = dimstrailer(n, n);
      o.file.bytes(trailer.data(), trailer.size());
    }
    if (!o.file.close()) failed(o.path);
  }
  for (Output& o : outputs) {
    if (!o.file.commit()) failed(o.path);
    filedone(o.path);
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
