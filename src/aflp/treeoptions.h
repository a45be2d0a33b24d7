#pragma once
// Options 3 to 5: "Tree from a distance table", "Bootstrap tree" and
// "Convert a distance table".
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "core/runcontext.h"
#include "core/textio.h"
#include "tables/distancetable.h"

namespace lorvane {

inline constexpr const char* kTreeLayout =
    "Distance table\n[text,,]Method : neighbor-joining (1) or UPGMA (2) ?\n[int,1,2]"
    "Replicate tables (default = none)\n[text,,]Consensus tree (yes = 1, default = no) ? \n[int,0,1]";
inline constexpr const char* kBootstrapTreeLayout =
    "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
    "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?\n[int,1,3]Jukes-Cantor correction (yes = 1, default = no) ? "
    "\n[int,0,1]Number of bootstrap repetitions : \n[int,0,]Method : neighbor-joining (1) or UPGMA (2) ?\n[int,1,2]";
inline constexpr const char* kConvertLayout =
    "Distance table\n[text,,]Format : PHYLIP square (1), PHYLIP lower-triangular (2) or CSV (3) ?\n[int,1,3]";

// Runs option 3, 4 or 5 from the answers (slots 1 to 10). False when a
// required answer is empty: nothing ran and the report needs no refresh.
bool runtreeoption(RunContext& ctx, const std::array<std::string, 11>& answers, int option);

// Shared by the options that work on distance tables.
// A numeric answer, or `empty` when it was left empty.
int intanswer(const std::string& a, int empty);
// Every output complete before any replaces a file of its name (closed
// outputs are left out); error stop naming the output that failed.
void commitall(std::initializer_list<OutputFile*> outputs, const char* operation);
// An output under a temporary name; error stop when it cannot be opened.
OutputFile openoutput(const std::string& path, const char* operation);
// "Input file: ..." and "--- Format: ..., number of rows: n, columns: n".
void readreport(RunContext& ctx, const std::string& path, const TableReader& reader, const DistanceTable& t);

// What option 4 needs from the distance computations: for the band file,
// the reference table (all bands, k = 0) and then, one at a time, the
// replicate tables (k = 1..repetitions, in order), replicate k drawing the
// columns of replicate k of the bootstrap computation with the same seed;
// all in double precision and in memory, the distance of the index (the
// Jukes-Cantor corrected Dice distance when asked), the strain names as the
// band file gives them. The callback may keep the table (moving from it).
struct BootstrapRequest {
  std::string path;
  int r = 0;
  float k = 1.0f;
  int index = 1;
  int jukescantor = 0;
  int repetitions = 0;
};
using ReplicateTable = std::function<void(int k, DistanceTable& table)>;
struct HalfTable;
// With `slots`, replicates of few strains are made side by side instead, a
// batch at a time: slots->begin(batch) once, then slots->build(k, table,
// slot) on the worker threads (the table's values in the order of
// DistanceTable::lower) and slots->take(k, slot) on the calling thread in
// replicate order. Replicates of many strains still go to `table`.
struct ReplicateSlots {
  std::function<void(int batch)> begin;
  std::function<void(int k, HalfTable& table, int slot)> build;
  std::function<void(int k, int slot)> take;
};
// Returns the seed of the draws.
std::uint32_t boottables(RunContext& ctx, const BootstrapRequest& request, const ReplicateTable& table,
                         const ReplicateSlots* slots = nullptr);

}  // namespace lorvane
