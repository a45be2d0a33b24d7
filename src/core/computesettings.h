#pragma once
// How the computations use the machine: threads, rows per block, replicates
// side by side, the bootstrap seed and the pair-count kernel. The programs
// fill it once at start; the computations get it with their run context.
#include <cstdint>
#include <optional>
#include <string>

namespace lorvane {

struct ComputeSettings {
  int threads = 0;         // 0: one per processor
  int rowblock = 0;        // rows of the outputs computed together; 0: by the table's size
  int replicatebatch = 0;  // bootstrap replicates side by side; 0: by their size
  std::optional<std::uint32_t> seed;  // the bootstrap seed; none: the millisecond clock
  std::string kernel;      // pair-count kernel by name; empty: the widest the processor runs

  // Threads to use: `threads`, or every processor.
  int threadcount() const;
  // The seed of a bootstrap run: `seed`, or the clock now.
  std::uint32_t seedvalue() const;
  // Rows per block for n strains: `rowblock` rounded up to a multiple of 4,
  // or about a quarter million cells (4 to 1024 rows).
  int rowsperblock(int n) const;
  // Replicates computed side by side when one has `cells` pairs: up to 64
  // small ones (8 for each thread at most), 1 when they are large.
  int replicatesperbatch(long long cells) const;
};

// The settings from the texts of LORVANE_THREADS (a number of 1 or more),
// LORVANE_SEED (a decimal number from 0 to 4294967295) and LORVANE_KERNEL (a
// kernel name); a null or unusable text leaves the default.
ComputeSettings computesettings(const char* threads, const char* seed, const char* kernel);
// Why a LORVANE_SEED text is no seed, as the error the programs stop with
// ("Error: LORVANE_SEED=abc: ..."); empty for a seed, an empty text or none.
std::string seedproblem(const char* seed);

}  // namespace lorvane
